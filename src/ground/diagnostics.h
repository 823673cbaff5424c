#pragma once
// What the readers of theme.txt and config.txt, and the checks of velmora-tool, have to tell a
// theme's author: one record for all of them, so that every message is shown the same way.
#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

struct Diagnostic {
    enum class Severity { Warning, Error };
    int line = 0;  // 1-based line of the file; 0 for the file as a whole
    Severity severity = Severity::Warning;
    std::string message;  // UTF-8
    std::string file;     // as shown to the author ("config.txt", "themes/NAME/theme.txt"); may be empty
};

using Diagnostics = std::vector<Diagnostic>;

// A list keeps at most this many remarks and then one that says more were left out: a hostile
// file of millions of bad lines must not make its check hold millions of messages.
inline constexpr std::size_t kMaxDiagnostics = 10000;

// Appends within the limit above.
inline void append(Diagnostics& sink, Diagnostic diagnostic) {
    if (sink.size() < kMaxDiagnostics) {
        sink.push_back(std::move(diagnostic));
    } else if (sink.size() == kMaxDiagnostics) {
        sink.push_back(Diagnostic{0, Diagnostic::Severity::Warning,
                                  "more problems follow; only the first " + std::to_string(kMaxDiagnostics) + " are listed",
                                  diagnostic.file});
    }
}

// Appends to a sink that may be absent: the program's own reads keep no diagnostics.
inline void report(Diagnostics* sink, int line, Diagnostic::Severity severity, std::string message) {
    if (sink != nullptr) append(*sink, Diagnostic{line, severity, std::move(message), {}});
}

}  // namespace velmora
