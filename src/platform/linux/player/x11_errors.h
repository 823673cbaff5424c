#pragma once
// X errors without Xlib's default reaction, which ends the program: requests whose failure the
// player must know of run under an ErrorTrap; any other error is reported once and ignored; a
// lost connection to the server ends the program with a one-line message and exit code 2.
#include <X11/Xlib.h>

#include <string>

namespace velmora::x11 {

// Installs the handlers; idempotent.
void installErrorHandlers();

// Catches the errors of the requests made while it lives. Traps do not nest.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits until the server has answered every request so far; true when one of them failed.
    bool failed();
    // The first error as the server names it ("BadAlloc (insufficient resources for operation)").
    std::string errorText() const;

private:
    Display* display_;
};

}  // namespace velmora::x11
