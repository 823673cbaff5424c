#include "platform/linux/posix/posix_shell.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "ground/text_decoding.h"
#include "platform/host.h"
#include "platform/linux/posix/power_supply.h"
#include "resources/theme_source.h"

namespace velmora::posix {

namespace {

char16_t upperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool endsWithIgnoringCase(std::u16string_view name, std::u16string_view suffix) {
    if (name.size() < suffix.size()) return false;
    const std::u16string_view tail = name.substr(name.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (upperAscii(tail[i]) != upperAscii(suffix[i])) return false;
    }
    return true;
}

}  // namespace

std::u16string PosixShell::programPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::u16string() : decodeUtf8(reinterpret_cast<const std::uint8_t*>(self.c_str()), self.native().size());
}

PowerStatus PosixShell::systemPowerStatus() { return readPowerStatus(sysfsRoot()); }

std::uint32_t PosixShell::tickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::vector<std::u16string> PosixShell::findFiles(const std::u16string& pattern) {
    std::vector<std::u16string> names;
    const std::size_t slash = pattern.find_last_of(u"/\\");
    const std::u16string folder = slash == std::u16string::npos ? u"." : pattern.substr(0, slash);
    const std::u16string mask = slash == std::u16string::npos ? pattern : pattern.substr(slash + 1);
    if (mask.size() < 2 || mask[0] != u'*' || mask[1] != u'.') return names;
    const std::u16string suffix = mask.substr(1);  // "." or ".zip"
    std::error_code ec;
    for (std::filesystem::directory_iterator it(nativePath(folder), ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        const std::string native = it->path().filename().native();
        std::u16string name = decodeUtf8(reinterpret_cast<const std::uint8_t*>(native.data()), native.size());
        const bool matches = suffix == u"." ? name.find(u'.') == std::u16string::npos : endsWithIgnoringCase(name, suffix);
        if (matches) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char16_t x, char16_t y) { return upperAscii(x) < upperAscii(y); });
    });
    return names;
}

}  // namespace velmora::posix

namespace velmora {

std::unique_ptr<Shell> createSystemShell() { return std::make_unique<posix::PosixShell>(); }

void prepareConsoleProgram() {}

bool stderrIsTerminal() { return isatty(fileno(stderr)) != 0; }

std::FILE* openForReading(const std::filesystem::path& path) { return std::fopen(path.c_str(), "rb"); }

}  // namespace velmora
