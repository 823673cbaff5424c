#pragma once
// Finding the shell window behind the desktop icons and creating the drawing device on it.
namespace velmora {

// Sets progman and workerW of desktopHost. On failure the user has been shown why ("No Progman
// found." or "No WorkerW found.") and closed the message.
bool findDesktopWindow();

// findDesktopWindow, then the drawing device on workerW: imaging factory, drawing factory,
// desktop rectangle, window target, off-screen frame target. Stops at the first failure; each
// desktopHost flag says which objects exist.
bool attachDesktop();

}  // namespace velmora
