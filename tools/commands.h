#pragma once
// The commands of velmora-tool. Each takes the words after its name and returns the exit code
// (0 done, 1 a failure at run time or a check with errors); a command line it cannot act on
// throws UsageError (exit code 2).
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velmora::tool {

int runCheck(const std::vector<std::string>& words);
int runRender(const std::vector<std::string>& words);
int runTrace(const std::vector<std::string>& words);
int runPlay(const std::vector<std::string>& words);
int runAutostart(const std::vector<std::string>& words);
int runNew(const std::vector<std::string>& words);

// What check looks at: the program folder the core reads, the themes in it, and how the report
// names them so that the user can open each file from where the command was run.
struct CheckTarget {
    std::string root;                    // the program folder (config.txt and themes)
    std::string shownRoot;               // what report paths start with: "" or "DIR/"
    std::vector<std::u16string> names;   // the themes; empty with allThemes: every installed one
    bool allThemes = true;
    bool checkConfig = true;             // false for a theme checked outside a program folder
    std::map<std::u16string, std::string> shownThemes;  // a theme named by its own path: that path
    std::vector<std::string> notes;      // warnings about the target itself, "PATH: warning: ..."
    std::shared_ptr<void> standIn;       // keeps a stand-in program folder while the check runs
};

// check's arguments: --root DIR and theme names, or one PATH (a program folder, a theme folder,
// a theme archive or a theme.txt), or nothing (the current folder).
CheckTarget checkTargetFor(const std::string* root, const std::vector<std::string>& positional);

// check's report on config.txt and the themes of target (programFolder is already set, and the
// installed platform's drawing device decodes pictures when canDecode), on standard output.
// Returns check's exit code.
int checkThemes(const CheckTarget& target, bool canDecode);

}  // namespace velmora::tool
