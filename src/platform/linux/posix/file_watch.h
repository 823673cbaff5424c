#pragma once
// Tells when any of a set of files has been written, replaced, made or removed (inotify), once
// the change is whole: a file counts when the writer closes it or when it is renamed into place,
// not at each write, so that a picture still being written is never read half. The folders
// holding the files are watched rather than the files themselves: editors save by writing a new
// file and renaming it over the old one, and a file that does not exist yet can appear.
#include <chrono>
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
    // Reads every waiting event without blocking; true when a watched file has changed as a
    // whole and none is still being written. A change made while another file is being written
    // is kept and reported once that write is done.
    bool readChanges();
    // Whether a watched file has been written to and not yet closed (within the last minute: a
    // writer that keeps a file open and silent for longer is not waited for).
    bool writing();

private:
    using Clock = std::chrono::steady_clock;
    void forgetStaleWrites();

    int fd_ = -1;
    std::map<std::filesystem::path, int> folders_;      // folder -> watch descriptor
    std::map<int, std::set<std::string>> names_;        // watch descriptor -> file names in it
    std::map<std::pair<int, std::string>, Clock::time_point> open_;  // written to, not yet closed: last write
    bool pending_ = false;                              // a whole change not yet reported
};

}  // namespace velmora::posix
