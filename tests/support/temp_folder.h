#pragma once
// A scratch folder for tests that need real files, and the two file calls they write and read
// them with.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::testing {

// A fresh, empty folder under the system's temporary folder, removed with its contents when the
// object goes; each object has its own, so tests never see each other's files.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }
    // Writes a file below the folder (making the folders on its way) and returns its path.
    std::filesystem::path write(const std::filesystem::path& relative, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// Writes the bytes as the whole file, making its folder first.
void writeFile(const std::filesystem::path& path, std::string_view bytes);
void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
// The whole file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

}  // namespace velmora::testing
