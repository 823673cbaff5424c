#pragma once
namespace velmora {

// Starts a frame on the off-screen target: identity transform, cleared to opaque black.
void beginFrame();
// Ends the frame and copies it to the desktop window; after a failed end the previous frame is
// shown again; a lost device is marked in desktopHost.targetLost.
void presentFrame();

}  // namespace velmora
