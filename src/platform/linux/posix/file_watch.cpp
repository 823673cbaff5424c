#include "platform/linux/posix/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velmora::posix {

namespace {

// What ends a change of a file: its writer closing it, a rename into or out of place, its
// removal, a change of its permissions; a folder made (a new theme folder). A write itself
// (IN_MODIFY) only marks the file as being written.
constexpr std::uint32_t kDoneEvents = IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kFolderEvents = kDoneEvents | IN_MODIFY | IN_CREATE;
constexpr std::chrono::seconds kLongestWrite{60};

}  // namespace

FileWatch::FileWatch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FileWatch::~FileWatch() {
    if (fd_ >= 0) close(fd_);
}

void FileWatch::watch(const std::vector<std::filesystem::path>& files) {
    if (fd_ < 0) return;
    std::map<std::filesystem::path, std::set<std::string>> wanted;
    for (const std::filesystem::path& file : files) {
        if (!file.has_filename()) continue;
        std::filesystem::path folder = file.parent_path();
        if (folder.empty()) folder = ".";
        wanted[folder.lexically_normal()].insert(file.filename().string());
    }
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (wanted.count(it->first) == 0) {
            inotify_rm_watch(fd_, it->second);
            it = folders_.erase(it);
        } else {
            ++it;
        }
    }
    names_.clear();
    for (auto& [folder, names] : wanted) {
        // Adding a folder again refreshes its watch (it may have been removed and made anew).
        const int wd = inotify_add_watch(fd_, folder.c_str(), kFolderEvents | IN_ONLYDIR);
        if (wd < 0) {
            folders_.erase(folder);
            continue;
        }
        folders_[folder] = wd;
        // Two folder names for one folder (a link) share a watch descriptor.
        names_[wd].insert(names.begin(), names.end());
    }
}

bool FileWatch::readChanges() {
    if (fd_ < 0) return false;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t length = read(fd_, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR) continue;
        if (length <= 0) break;
        for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
            inotify_event event;
            std::memcpy(&event, buffer + offset, sizeof event);
            const char* name = buffer + offset + sizeof(inotify_event);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
            if (offset > length) break;
            // The queue ran over: something may have been missed, so count it as a change.
            if ((event.mask & IN_Q_OVERFLOW) != 0) {
                pending_ = true;
                continue;
            }
            if (event.len == 0) continue;
            const auto watched = names_.find(event.wd);
            const std::string file(name, strnlen(name, event.len));
            if (watched == names_.end() || watched->second.count(file) == 0) continue;
            const auto key = std::make_pair(event.wd, file);
            if ((event.mask & IN_MODIFY) != 0) open_[key] = Clock::now();
            if ((event.mask & (IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) != 0) open_.erase(key);
            const bool folderMade = (event.mask & IN_CREATE) != 0 && (event.mask & IN_ISDIR) != 0;
            if ((event.mask & kDoneEvents) != 0 || folderMade) pending_ = true;
        }
    }
    if (!pending_ || writing()) return false;
    pending_ = false;
    return true;
}

bool FileWatch::writing() {
    forgetStaleWrites();
    return !open_.empty();
}

void FileWatch::forgetStaleWrites() {
    const Clock::time_point now = Clock::now();
    for (auto it = open_.begin(); it != open_.end();) {
        it = now - it->second > kLongestWrite ? open_.erase(it) : std::next(it);
    }
}

}  // namespace velmora::posix
