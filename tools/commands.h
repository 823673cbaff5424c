#pragma once
// The commands of velmora-tool. Each takes the words after its name and returns the exit code;
// a command line it cannot act on throws UsageError.
#include <string>
#include <vector>

namespace velmora::tool {

int runCheck(const std::vector<std::string>& words);
int runRender(const std::vector<std::string>& words);
int runTrace(const std::vector<std::string>& words);

}  // namespace velmora::tool
