#include "platform/linux/posix/child_report.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velmora::posix {

void reportInChild(const std::function<void(const std::u16string&)>& report, const std::u16string& theme) {
    if (!report) return;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        report(theme);
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(0);
    }
    if (child < 0) {
        std::fprintf(stderr, "velmora-tool: cannot check the theme (%s)\n", std::strerror(errno));
        return;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) std::fprintf(stderr, "velmora-tool: the check of the theme ended with signal %d\n", WTERMSIG(status));
}

}  // namespace velmora::posix
