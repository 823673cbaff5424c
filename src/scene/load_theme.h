#pragma once
namespace velmora {

// Loads the theme named by currentTheme: display settings, theme.txt, pictures, layout. A bad
// number in theme.txt keeps what was parsed before it; the error is rethrown after the pictures
// are loaded and the scene is laid out, for the caller to report or ignore.
void loadTheme();

}  // namespace velmora
