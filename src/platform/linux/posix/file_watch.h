#pragma once
// Tells when any of a set of files is written, replaced, made or removed (inotify). The folders
// holding the files are watched rather than the files themselves: editors save by writing a new
// file and renaming it over the old one, and a file that does not exist yet can appear.
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace velmora::posix {

class FileWatch {
public:
    FileWatch();
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // False when the system gave no inotify instance (too many in use); nothing is then watched.
    bool ok() const { return fd_ >= 0; }
    // Readable when events wait; for poll.
    int descriptor() const { return fd_; }

    // Watches exactly these files from now on. Files in folders that do not exist are left out.
    void watch(const std::vector<std::filesystem::path>& files);
    // Reads every waiting event without blocking; true when one concerns a watched file.
    bool readChanges();

private:
    int fd_ = -1;
    std::map<std::filesystem::path, int> folders_;      // folder -> watch descriptor
    std::map<int, std::set<std::string>> names_;        // watch descriptor -> file names in it
};

}  // namespace velmora::posix
