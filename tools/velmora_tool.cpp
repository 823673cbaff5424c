// velmora-tool: checks, renders, traces and plays themes from the command line.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "commands.h"
#include "platform/host.h"
#include "tool_support.h"

namespace {

const char kUsage[] =
    "usage: velmora-tool <command> [options]\n"
    "\n"
    "commands:\n"
    "  check [--root DIR] [THEME...]\n"
    "      Reads config.txt and each theme (all of DIR/themes by default) with its pictures and\n"
    "      reports every problem with its file and line. Exit 0 without errors, 1 with errors.\n"
    "\n"
    "  render --root DIR [--theme NAME] --desktop WxH|L,T,W,H [--out DIR] [--webp FILE]\n"
    "         [--seed N] [--fps N] [--frames K | --seconds S]\n"
    "      Renders frames of a theme as the player shows them: with --out to DIR/frame_0001.png\n"
    "      and on, with --webp as one animated lossless WebP file in which each frame lasts as\n"
    "      long as it plays (one of the two is needed). Without --theme, config.txt's\n"
    "      default_theme is shown; --fps overrides its fps; the default is 3 seconds with seed 1.\n"
    "\n"
    "  play --root DIR [--theme NAME] [--size WxH | --desktop] [--fps N] [--watch]\n"
    "      Plays the theme live in a window (1280x720 by default) on the X display. Keys: Space\n"
    "      pauses and resumes, R reloads the theme and config.txt, N and P show the next and the\n"
    "      previous theme, Q and Escape quit. --watch reloads whenever theme.txt, a picture of\n"
    "      the theme or config.txt is saved and prints check's report each time. --desktop plays\n"
    "      it as the desktop's wallpaper instead: SIGUSR1 pauses and resumes, SIGHUP reloads,\n"
    "      SIGTERM ends it; only one runs per display (another start exits with 1).\n"
    "\n"
    "  trace --root DIR --theme NAME --seed S --desktop WxH|L,T,W,H --ticks T0,T1,...,Tn\n"
    "      Loads the theme at tick T0 and renders one frame at each later tick, printing the\n"
    "      scene's numbers and every picture drawn as JSON Lines.\n"
    "\n"
    "  --help   this text\n"
    "\n"
    "DIR is a program folder: it holds config.txt and the folder themes.\n";

int run(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string command = words.front();
    words.erase(words.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    for (const std::string& word : words) {
        if (word == "--help" || word == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    velmora::prepareConsoleProgram();
    if (command == "check") return velmora::tool::runCheck(words);
    if (command == "render") return velmora::tool::runRender(words);
    if (command == "trace") return velmora::tool::runTrace(words);
    if (command == "play") return velmora::tool::runPlay(words);
    throw velmora::tool::UsageError("unknown command '" + command + "'");
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
// cannot act on, and any failure on the way (memory, a file system error), end it with one line
// on stderr and exit code 2.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const velmora::tool::UsageError& error) {
        std::fprintf(stderr, "velmora-tool: %s\n(velmora-tool --help shows the usage)\n", error.what());
    } catch (const std::bad_alloc&) {
        printFailure("out of memory");
    } catch (const std::exception& error) {
        printFailure(error.what());
    } catch (...) {
        printFailure("unexpected failure");
    }
    std::fflush(stdout);
    return 2;
}
