#pragma once
// The signals that control the player (SIGINT, SIGTERM, SIGHUP, SIGUSR1) arrive as readable data on
// a descriptor, so that a message loop takes them one at a time like any other input.
#include <errno.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <vector>

namespace velmora::posix {

class SignalChannel {
public:
    SignalChannel() {
        sigemptyset(&set_);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) sigaddset(&set_, signal);
        sigprocmask(SIG_BLOCK, &set_, &previous_);
        fd_ = signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC);
    }
    ~SignalChannel() {
        if (fd_ >= 0) close(fd_);
        sigprocmask(SIG_SETMASK, &previous_, nullptr);
    }
    SignalChannel(const SignalChannel&) = delete;
    SignalChannel& operator=(const SignalChannel&) = delete;

    int descriptor() const { return fd_; }
    std::vector<int> take() {
        std::vector<int> signals;
        signalfd_siginfo info;
        for (;;) {
            const ssize_t length = read(fd_, &info, sizeof info);
            if (length < 0 && errno == EINTR) continue;
            if (length != static_cast<ssize_t>(sizeof info)) break;
            signals.push_back(static_cast<int>(info.ssi_signo));
        }
        return signals;
    }

private:
    sigset_t set_{};
    sigset_t previous_{};
    int fd_ = -1;
};

}  // namespace velmora::posix
