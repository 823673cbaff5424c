#include "platform/linux/posix/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velmora::posix {

namespace {

// Whatever can change what a later read of a file gives.
constexpr std::uint32_t kFolderEvents =
    IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

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
    bool changed = false;
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
                changed = true;
                continue;
            }
            if (event.len == 0) continue;
            const auto watched = names_.find(event.wd);
            if (watched != names_.end() && watched->second.count(std::string(name, strnlen(name, event.len))) != 0) changed = true;
        }
    }
    return changed;
}

}  // namespace velmora::posix
