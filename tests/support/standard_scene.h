#pragma once
// The scene most tests of layout, animation and drawing are set in: a 1920x1080 desktop at the
// origin, pixels scaled by 4, the whole desktop height in view and a theme 320 wide. The scene is
// then 1280 wide from x 320, and the floor line (ycollider 40) lies at 920.
namespace velmora::testing {

// The desktop alone, for tests whose settings and theme come from files or from the test.
void useStandardDesktop();
// The desktop, the display settings and the theme width.
void useStandardScene();

}  // namespace velmora::testing
