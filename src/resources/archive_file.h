#pragma once
// How minizip reaches an archive file on this platform: the file functions it opens, reads and
// seeks with, and the form of the path they take. Implemented once per platform
// (src/platform/archive/), so that this portable code names no system header.
#include <cstdint>
#include <optional>
#include <string>

struct zlib_filefunc64_def_s;

namespace velmora {

// Fills functions for reading the archive at path and returns the path argument for
// unzOpen2_64. The result may point into path or into storage, which must outlive the open.
const void* prepareArchiveFile(const std::u16string& path, zlib_filefunc64_def_s& functions, std::string& storage);

// Where a seek of minizip's lands, as fseeko has it: offset (signed, though minizip passes it
// unsigned) from base (the start, the current position or the end). Past the end is allowed
// (reads there deliver nothing); before the start, or beyond what 64 bits hold, is not.
std::optional<std::uint64_t> seekTarget(std::uint64_t base, std::uint64_t offset);

}  // namespace velmora
