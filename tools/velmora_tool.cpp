// velmora-tool: checks, renders, traces and plays themes from the command line.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "commands.h"
#include "platform/host.h"
#include "tool_support.h"

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "unknown"
#endif

namespace {

struct Command {
    const char* name;
    const char* help;
    int (*run)(const std::vector<std::string>&);
};

const Command kCommands[] = {
    {"check",
     "  check [PATH] | check --root DIR [THEME...]\n"
     "      Reads config.txt and each theme with its pictures as the player does, and reports every\n"
     "      problem as FILE:LINE: error|warning: MESSAGE, FILE as you can open it from here. PATH\n"
     "      is a program folder (all its themes), a theme folder, a .zip theme or a theme.txt;\n"
     "      without PATH or --root the current folder is the program folder. Exit 0 without\n"
     "      errors, 1 with errors (an empty themes folder is one).\n",
     velmora::tool::runCheck},
    {"render",
     "  render --root DIR [--theme NAME] (--desktop WxH|L,T,W,H | --monitors M,...) [--out DIR]\n"
     "         [--webp FILE] [--loop] [--quality Q] [--seed N] [--fps N] [--frames K | --seconds S]\n"
     "      Renders frames of a theme as the player shows them: with --out to DIR/frame_0001.png\n"
     "      and on, with --webp as one animated WebP file in which each frame lasts as long as it\n"
     "      plays (one of the two is needed). --loop makes the preview loop without a jump (its\n"
     "      last half second fades into its first); --quality 0 to 100 makes it lossy and small\n"
     "      for sharing (lossless by default). Without --theme, config.txt's default_theme is\n"
     "      shown; --fps overrides its fps; the default is 3 seconds with seed 1. At most 8192\n"
     "      pixels on a side. --monitors lays the desk out as the player sees it: each M is\n"
     "      WxH+X+Y[@DPI] in virtual-screen pixels (DPI 96 when absent); the picture is their\n"
     "      bounding rectangle, black where no monitor is, and config.txt's span_monitors:0 gives\n"
     "      each monitor a scene of its own.\n",
     velmora::tool::runRender},
    {"play",
     "  play [--root DIR] [--theme NAME] [--size WxH | --desktop] [--fps N] [--watch]\n"
     "      Plays the theme live in a window (1280x720 by default, at most 8192 on a side) on the\n"
     "      X display. Keys: Space pauses and resumes, R reloads the theme and config.txt, N and P\n"
     "      show the next and the previous theme, Q and Escape quit. --watch reloads once a save\n"
     "      of theme.txt, a picture of the theme or config.txt is complete and prints check's\n"
     "      report each time. --desktop plays it as the desktop's wallpaper instead, taking no\n"
     "      keys: SIGUSR1 pauses and resumes, SIGHUP reloads, SIGTERM ends it; only one runs per\n"
     "      display, and none where a desktop-icon program owns the desktop (exit 1).\n"
     "      A DIR without themes/ or a theme that is not there ends it before a window opens.\n"
     "      Without --root: config.txt from $XDG_CONFIG_HOME/velmora (~/.config/velmora), themes\n"
     "      from $XDG_DATA_HOME/velmora/themes (~/.local/share/velmora/themes), and the installed\n"
     "      sample themes and config.txt where you have none.\n",
     velmora::tool::runPlay},
    {"autostart",
     "  autostart on|off\n"
     "      on writes $XDG_CONFIG_HOME/autostart/velmora.desktop (~/.config/autostart), which\n"
     "      starts play --desktop when you log in; off removes it (and says so when there is none).\n",
     velmora::tool::runAutostart},
    {"new",
     "  new FOLDER\n"
     "      Writes a small theme into FOLDER (which must not exist yet): a commented theme.txt\n"
     "      with one layer of each kind and placeholder pictures, ready for check and play. Make\n"
     "      it in a program folder's themes folder to play it at once.\n",
     velmora::tool::runNew},
    {"trace",
     "  trace --root DIR --theme NAME --seed S (--desktop WxH|L,T,W,H | --monitors M,...)\n"
     "        --ticks T0,T1,...,Tn\n"
     "      Loads the theme at tick T0 and renders one frame at each later tick, printing the\n"
     "      scene's numbers and every picture drawn as JSON Lines; --monitors as for render, with\n"
     "      a load line for each scene.\n",
     velmora::tool::runTrace},
};

const char kUsageHead[] = "usage: velmora-tool <command> [options]\n";
const char kUsageTail[] =
    "\n"
    "  --help, COMMAND --help   this text, or one command's\n"
    "  --version                the version\n"
    "\n"
    "DIR is a program folder: it holds config.txt and the folder themes.\n"
    "Exit codes: 0 done; 1 a failure while running (a check with errors, a missing theme, no\n"
    "display); 2 a command line that cannot be used.\n";

std::string usage() {
    std::string text = std::string(kUsageHead) + "\ncommands:\n";
    for (const Command& command : kCommands) text += std::string(command.help) + "\n";
    text.pop_back();
    return text + kUsageTail;
}

int run(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        std::fputs(usage().c_str(), stderr);
        return 2;
    }
    const std::string name = words.front();
    words.erase(words.begin());
    if (name == "--help" || name == "-h" || name == "help") {
        std::fputs(usage().c_str(), stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("velmora-tool %s\n", VELMORA_VERSION);
        return 0;
    }
    for (const Command& command : kCommands) {
        if (name != command.name) continue;
        for (const std::string& word : words) {
            if (word == "--help" || word == "-h") {
                std::printf("usage:\n%s", command.help);
                return 0;
            }
        }
        velmora::prepareConsoleProgram();
        return command.run(words);
    }
    throw velmora::tool::UsageError("unknown command '" + name + "'");
}

// One line, whatever the exception carries.
void printFailure(const char* what) {
    std::string line = what;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::fprintf(stderr, "velmora-tool: %s\n", line.c_str());
}

}  // namespace

// Nothing a theme or the system throws ends the tool through std::terminate: a command line it
// cannot act on ends it with exit code 2; any failure on the way (memory, a file system error)
// with one line on stderr and exit code 1.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const velmora::tool::UsageError& error) {
        std::fprintf(stderr, "velmora-tool: %s\n(velmora-tool --help shows the usage)\n", error.what());
        return 2;
    } catch (const std::bad_alloc&) {
        printFailure("out of memory");
    } catch (const std::exception& error) {
        printFailure(error.what());
    } catch (...) {
        printFailure("unexpected failure");
    }
    std::fflush(stdout);
    return 1;
}
