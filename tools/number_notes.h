#pragma once
// check's remarks on the numbers of theme.txt and config.txt, read exactly as the player reads
// them: a value with characters after its number (the player reads the number and ignores the
// rest, so "0,012" is 0), and a value that is no number at all, said in a person's words rather
// than the readers' own.
#include <string>
#include <string_view>

#include "ground/diagnostics.h"

namespace velmora::tool {

// Every number of theme.txt: a warning for text after a number, an error for a value that is
// none (the first of them also says that the player reads no further).
void noteThemeNumbers(std::u16string_view text, const std::string& file, Diagnostics& out);

// Every number of config.txt: a warning for text after a number (its errors are the readers',
// see rewordNumberError).
void noteConfigNumbers(std::u16string_view text, const std::string& file, Diagnostics& out);

// Whether a diagnostic of the theme.txt reader is a bad number (noteThemeNumbers says those).
bool isThemeNumberError(const Diagnostic& d);

// config.txt's reader says "KEY:VALUE: invalid stoi argument; the key is ignored"; this says it
// in a person's words. Other messages are left as they are.
void rewordConfigNumberError(Diagnostic& d);

}  // namespace velmora::tool
