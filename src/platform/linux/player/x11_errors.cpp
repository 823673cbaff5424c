#include "platform/linux/player/x11_errors.h"

#include <unistd.h>

#include <cstdio>

namespace velmora::x11 {

namespace {

struct TrapState {
    bool active = false;
    bool failed = false;
    XErrorEvent first{};
};

TrapState trap;
bool reportedStray = false;

int onError(Display* display, XErrorEvent* event) {
    if (trap.active) {
        if (!trap.failed) trap.first = *event;
        trap.failed = true;
        return 0;
    }
    // A request outside a trap, such as a frame put after the window vanished: nothing to do
    // about it, and once is enough to hear of it.
    if (!reportedStray) {
        char text[160] = {};
        XGetErrorText(display, event->error_code, text, sizeof text);
        std::fprintf(stderr, "velmora-tool: the X server refused a request (%s); going on\n", text);
        reportedStray = true;
    }
    return 0;
}

int onConnectionLost(Display*) {
    std::fflush(stdout);
    std::fputs("velmora-tool: lost the connection to the X server\n", stderr);
    _exit(2);
}

}  // namespace

void installErrorHandlers() {
    XSetErrorHandler(onError);
    XSetIOErrorHandler(onConnectionLost);
}

ErrorTrap::ErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    trap = TrapState{true, false, {}};
}

ErrorTrap::~ErrorTrap() {
    XSync(display_, False);
    trap.active = false;
}

bool ErrorTrap::failed() {
    XSync(display_, False);
    return trap.failed;
}

std::string ErrorTrap::errorText() const {
    if (!trap.failed) return {};
    char text[160] = {};
    XGetErrorText(display_, trap.first.error_code, text, sizeof text);
    return text;
}

}  // namespace velmora::x11
