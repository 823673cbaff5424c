#pragma once
// The decisions about a desktop that changed under the program: is the window drawn into gone,
// did the desktop's size change, and making the drawing device again.
namespace velmora {

// The desktop window is gone, or was never found: its "WorkerW" is no window any more,
// "Progman" is another window now (the shell was restarted), or the program's own window behind
// the icons has gone with its parent.
bool desktopWindowGone();

// The desktop's rectangle is not the one the targets were made for.
bool desktopSizeChanged();
// The monitors (their rectangles or their scaling) are not those the scenes were laid out on.
bool monitorsChanged();

enum class Reattach {
    Done,
    NoDesktopWindow,  // nothing found; nothing is drawn until a later try finds it
    NoTargets,        // found, but the drawing device could not be made on it
};

// After a restart of the shell: lets go of the targets and of the program's own window, finds
// the desktop window again without telling the user, and makes the drawing device on it.
Reattach reattachDesktop();

}  // namespace velmora
