#pragma once
// theme.txt into the Theme model.
namespace velmora {

// Resets the Theme and fills it from theme.txt of currentTheme. A bad number throws
// NumberError: the lines before it stay committed.
void parseTheme();

}  // namespace velmora
