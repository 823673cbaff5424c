#pragma once
// Decoding every picture a parsed theme names into bitmaps on the drawing device, within the
// budgets of ports/picture_limits.h: a picture file named many times is read and decoded once per
// load, and a load stops at the first picture that would pass a budget.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ground/theme_model.h"
#include "ports/graphics_device.h"
#include "resources/archive_reader.h"
#include "resources/theme_source.h"

namespace velmora {

// Why a picture is as it is after a load.
enum class PictureOutcome {
    Loaded,          // held (possibly shared with an earlier name of the same file)
    BadName,         // its name cannot name a file of the theme (ThemePicture::problem)
    NotAFile,        // a FIFO, socket, device or directory: never read
    Missing,         // no such file, or it cannot be opened
    ArchiveProblem,  // the archive member cannot be read (archiveStatus says why)
    Undecodable,     // read, but not decoded (damaged, unsupported, beyond the size limits)
    NotDecoded,      // read, but there was no device to decode it on
    PastBudget,      // at or after the picture that would have passed a budget of the load
};

// Which budget of the load a picture would have passed.
enum class LoadBudget {
    PictureBytes,   // kMaxThemePictureBytes
    PictureNames,   // kMaxPictureNamesPerLoad
    InflatedBytes,  // kMaxInflatedBytesPerLoad
};

// What one picture came to, for the tools that explain a load.
struct PictureNote {
    std::size_t index = 0;  // in loading order (visitThemePictures)
    PictureOutcome outcome = PictureOutcome::Loaded;
    // For an archive theme: the member's read. A damaged member whose bytes were used is noted
    // although it loaded.
    ArchiveStatus archiveStatus = ArchiveStatus::Ok;
    std::uint64_t bytesRead = 0;
    std::vector<std::uint8_t> head;  // the file's first bytes (up to the PNG image header), when read
};

// What the pictures of one theme load came to.
struct PictureLoad {
    std::uint64_t decodedBytes = 0;   // of the pictures held, with each bitmap's overhead
    std::uint64_t inflatedBytes = 0;  // archive members read and image data decoded
    std::size_t namesFormed = 0;
    // Index, in loading order, of the first picture left empty because of a budget; every later
    // one is empty too. Absent when the budgets held.
    std::optional<std::size_t> firstPastBudget;
    LoadBudget budget = LoadBudget::PictureBytes;  // the one passed, when firstPastBudget
    // Filled only when asked for: every picture that did not load, and every damaged archive
    // member that did, in loading order.
    std::vector<PictureNote> notes;
};

// Bytes a decoded picture of that size takes, without the bitmap's overhead.
std::uint64_t decodedPictureBytes(std::int32_t width, std::int32_t height);

// The four scene pictures and every layer frame of the current theme, on the frame target when
// there is one (every picture is empty without it). Sets params.width from the floor when the
// theme gave none.
PictureLoad loadThemeImages();
// The worker: the pictures of target from source, decoded by device; a null device decodes
// nothing (and reads nothing unless notes are asked for). A missing, irregular or undecodable
// picture becomes an empty ImageFrame, and so does every picture from the one that would pass a
// budget on.
PictureLoad loadThemeImages(Theme& target, const ThemeSource& source, GraphicsDevice* device, bool withNotes = false);

}  // namespace velmora
