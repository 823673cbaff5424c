#include "platform/linux/player/player_support.h"

#include <algorithm>
#include <set>

#include "ground/text_decoding.h"
#include "resources/config.h"
#include "resources/theme_source.h"

namespace velmora::posix {

std::string playerTitle(const std::u16string& theme, bool playing, std::optional<int> framesPerSecond) {
    std::string title = theme.empty() ? std::string("Velmora - no theme") : encodeUtf8(themeDisplayName(theme));
    if (theme.empty()) return title;
    if (!playing) return title + " - paused";
    if (framesPerSecond) return title + " - " + std::to_string(*framesPerSecond) + " fps";
    return title;
}

std::optional<int> FrameRateMeter::sample(std::uint64_t now, std::uint64_t shown) {
    if (!since_ || shown < shownSince_ || now < *since_) {
        since_ = now;
        shownSince_ = shown;
        return rate_;
    }
    const std::uint64_t elapsed = now - *since_;
    if (elapsed < 1000) return rate_;
    rate_ = static_cast<int>(((shown - shownSince_) * 1000 + elapsed / 2) / elapsed);
    since_ = now;
    shownSince_ = shown;
    return rate_;
}

void QuietPeriod::note(std::uint64_t now) {
    if (!first_) first_ = now;
    last_ = now;
}

std::optional<std::uint64_t> QuietPeriod::due() const {
    if (!first_) return std::nullopt;
    return std::min(last_ + quiet_, *first_ + maxWait_);
}

std::vector<std::filesystem::path> themeFiles(const std::u16string& programFolder, const std::u16string& theme,
                                              const std::vector<std::u16string>& pictureMembers) {
    std::vector<std::filesystem::path> files;
    std::u16string folder = programFolder;
    if (folder.empty() || folder.back() != kPathSeparator) folder += kPathSeparator;
    files.push_back(nativePath(folder + u"config.txt"));
    if (theme.empty()) return files;
    const ThemeSource source = makeThemeSource(folder + u"themes" + kPathSeparator + theme);
    files.push_back(nativePath(source.path));
    if (source.isArchive) return files;
    files.push_back(nativePath(memberPath(source, u"theme.txt")));
    std::set<std::u16string> seen;
    for (const std::u16string& member : pictureMembers) {
        if (seen.insert(member).second) files.push_back(nativePath(memberPath(source, member)));
    }
    return files;
}

namespace {

bool sameRect(const RectI& a, const RectI& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool holds(const RectI& outer, const RectI& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right && outer.bottom >= inner.bottom;
}

}  // namespace

std::vector<MonitorArea> sceneMonitors(const std::vector<MonitorArea>& listed) {
    std::vector<MonitorArea> distinct;
    for (const MonitorArea& area : listed) {
        if (std::none_of(distinct.begin(), distinct.end(), [&](const MonitorArea& kept) { return sameRect(kept.rect, area.rect); })) {
            distinct.push_back(area);
        }
    }
    std::vector<MonitorArea> chosen;
    for (const MonitorArea& area : distinct) {
        const bool holdsAnother = std::any_of(distinct.begin(), distinct.end(), [&](const MonitorArea& other) {
            return &other != &area && holds(area.rect, other.rect);
        });
        if (!holdsAnother) chosen.push_back(area);
    }
    return chosen;
}

}  // namespace velmora::posix
