#pragma once
// The desktop player on a Wayland session: the program's own start-up and frame timer over the
// Wayland window system, with signals and file changes turned into the front door's verbs, as
// the X11 desktop player has them (a layer surface takes no keys).
#include "platform/player.h"

namespace velmora::wayland {

// A Wayland session: WAYLAND_DISPLAY is set.
bool waylandSession();

// As runPlayer, for --desktop on a Wayland session; 2 also when the compositor cannot show a
// desktop (no layer-shell), with a line saying what is needed.
int runWaylandPlayer(const PlayerOptions& options);

}  // namespace velmora::wayland
