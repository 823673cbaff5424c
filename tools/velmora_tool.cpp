// velmora-tool: checks, renders and traces themes from the command line.
#include <cstdio>
#include <cstring>

namespace {

void printUsage(std::FILE* out) {
    std::fputs(
        "usage: velmora-tool <command> [options]\n"
        "\n"
        "commands:\n"
        "  check [--root DIR] [THEME...]   report the problems of themes\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage(stdout);
        return 0;
    }
    std::fprintf(stderr, "velmora-tool: unknown command '%s'\n", argv[1]);
    printUsage(stderr);
    return 2;
}
