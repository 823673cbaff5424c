#pragma once
// The commands of velmora-tool. Each takes the words after its name and returns the exit code;
// a command line it cannot act on throws UsageError.
#include <string>
#include <vector>

namespace velmora::tool {

int runCheck(const std::vector<std::string>& words);
int runRender(const std::vector<std::string>& words);
int runTrace(const std::vector<std::string>& words);
int runPlay(const std::vector<std::string>& words);

// check's report on config.txt and the named themes of the program folder root (programFolder
// is already set, and the installed platform's drawing device decodes pictures when canDecode),
// on standard output. Returns check's exit code.
int checkThemes(const std::string& root, const std::vector<std::u16string>& names, bool canDecode);

}  // namespace velmora::tool
