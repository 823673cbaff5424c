#include "resources/image_loading.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "ground/records.h"
#include "ports/platform.h"
#include "resources/input_file.h"
#include "resources/png_header.h"
#include "resources/theme_pictures.h"

namespace velmora {

namespace {

// A picture file as one load found it: what every later name of the same file gets.
struct FoundPicture {
    PictureOutcome outcome = PictureOutcome::Missing;
    std::shared_ptr<Bitmap> bitmap;
    std::int32_t width = 0;
    std::int32_t height = 0;
    ArchiveStatus archiveStatus = ArchiveStatus::Ok;
    std::uint64_t bytesRead = 0;
    std::vector<std::uint8_t> head;
};

bool withinSizeLimits(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

// The image data a PNG header says its decoding inflates, interlaced pictures counted twice.
std::uint64_t inflationOf(const PngHeader& header) {
    const std::uint64_t data = pngImageDataBytes(header);
    return header.interlaced ? 2 * data : data;
}

class PictureLoader {
public:
    PictureLoader(const ThemeSource& source, GraphicsDevice* device, bool withNotes)
        : source_(source), device_(device), withNotes_(withNotes) {}

    // False when the load stops here (a budget would be passed).
    bool load(const ThemePicture& picture, std::size_t index) {
        if (++result_.namesFormed > kMaxPictureNamesPerLoad) return stop(index, LoadBudget::PictureNames);
        if (picture.problem != NameProblem::Fine) {
            FoundPicture bad;
            bad.outcome = PictureOutcome::BadName;
            note(index, bad);
            return true;
        }
        const FoundPicture* found = lookUp(picture.member);
        if (found == nullptr) {
            std::optional<LoadBudget> passed;
            FoundPicture fresh = read(picture.member, passed);
            if (passed) return stop(index, *passed);
            found = remember(picture.member, std::move(fresh));
        }
        if (found->outcome == PictureOutcome::Loaded) {
            ImageFrame& frame = *picture.frame;
            frame.width = found->width;
            frame.height = found->height;
            frame.bitmap = found->bitmap;
            frame.filter = picture.filter;
        }
        if (found->outcome != PictureOutcome::Loaded || found->archiveStatus != ArchiveStatus::Ok) note(index, *found);
        return true;
    }

    PictureLoad take() { return std::move(result_); }

private:
    bool stop(std::size_t index, LoadBudget budget) {
        result_.firstPastBudget = index;
        result_.budget = budget;
        if (withNotes_) result_.notes.push_back(PictureNote{index, PictureOutcome::PastBudget, ArchiveStatus::Ok, 0, {}});
        return false;
    }

    void note(std::size_t index, const FoundPicture& found) {
        if (!withNotes_) return;
        result_.notes.push_back(PictureNote{index, found.outcome, found.archiveStatus, found.bytesRead, found.head});
    }

    // An archive's names are found as its reader finds them (a-z as A-Z, the first entry of a
    // name): two names of one entry are one picture.
    const FoundPicture* lookUp(const std::u16string& member) {
        const auto byName = byName_.find(member);
        if (byName != byName_.end()) return &byName->second;
        if (source_.isArchive) {
            entry_ = source_.archive->findMember(member, &entryStatus_);
            if (entry_.index >= 0) {
                const auto byEntry = byEntry_.find(entry_.index);
                if (byEntry != byEntry_.end()) return &byEntry->second;
            }
        }
        return nullptr;
    }

    const FoundPicture* remember(const std::u16string& member, FoundPicture found) {
        if (source_.isArchive && entry_.index >= 0) return &(byEntry_[entry_.index] = std::move(found));
        return &(byName_[member] = std::move(found));
    }

    FoundPicture read(const std::u16string& member, std::optional<LoadBudget>& passed) {
        FoundPicture found;
        std::vector<std::uint8_t> bytes;
        bool viaFile = false;
        bool opened = true;  // false for a folder's file that could not be opened
        if (source_.isArchive) {
            if (entry_.index < 0) {
                found.archiveStatus = entryStatus_;
            } else {
                if (static_cast<std::uint64_t>(entry_.size) > kMaxInflatedBytesPerLoad - result_.inflatedBytes) {
                    passed = LoadBudget::InflatedBytes;
                    return found;
                }
                bytes = source_.archive->readBytes(member, &found.archiveStatus);
                result_.inflatedBytes += bytes.size();
                found.bytesRead = bytes.size();
            }
            if (!memberDelivered(found.archiveStatus)) {
                found.outcome = found.archiveStatus == ArchiveStatus::NotFound ? PictureOutcome::Missing : PictureOutcome::ArchiveProblem;
                return found;
            }
            found.head.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), kPngFullHeaderBytes)));
        } else {
            // Only a regular file is read; a name the file system does not know is left to the
            // device, which says it is missing.
            InputFile file(memberPath(source_, member));
            if (file.status() == FileStatus::NotRegular) {
                found.outcome = PictureOutcome::NotAFile;
                return found;
            }
            opened = file.isOpen();
            if (opened) {
                found.head.resize(kPngFullHeaderBytes);
                found.head.resize(file.read(found.head.data(), found.head.size()));
            }
            viaFile = true;
        }

        // The budgets are decided from the header, before anything is decoded.
        const PngHeader header = readPngHeader(found.head.data(), found.head.size());
        std::uint64_t inflation = 0;
        if (header.status == PngHeaderStatus::Ok) {
            if (!withinSizeLimits(header.width, header.height)) {
                found.outcome = PictureOutcome::Undecodable;
                return found;
            }
            if (device_ != nullptr && decodedPictureBytes(static_cast<std::int32_t>(header.width), static_cast<std::int32_t>(header.height)) +
                                              kBitmapOverheadBytes > kMaxThemePictureBytes - result_.decodedBytes) {
                passed = LoadBudget::PictureBytes;
                return found;
            }
            inflation = inflationOf(header);
            if (inflation > kMaxInflatedBytesPerLoad - result_.inflatedBytes) {
                passed = LoadBudget::InflatedBytes;
                return found;
            }
        }
        if (device_ == nullptr) {
            found.outcome = opened ? PictureOutcome::NotDecoded : PictureOutcome::Missing;
            return found;
        }

        std::unique_ptr<Bitmap> bitmap = viaFile ? device_->loadPictureFile(memberPath(source_, member))
                                                 : (bytes.empty() ? nullptr : device_->loadPictureBytes(bytes.data(), bytes.size()));
        bytes = {};
        if (!bitmap) {
            found.outcome = opened ? PictureOutcome::Undecodable : PictureOutcome::Missing;
            return found;
        }
        // The sizes are checked again here, whatever the device does, as the budget multiplies them.
        const std::int32_t width = bitmap->pixelWidth(), height = bitmap->pixelHeight();
        if (!withinSizeLimits(width, height)) {
            found.outcome = PictureOutcome::Undecodable;
            return found;
        }
        const std::uint64_t cost = decodedPictureBytes(width, height) + kBitmapOverheadBytes;
        if (cost > kMaxThemePictureBytes - result_.decodedBytes) {
            // This one is let go again, and the rest are not decoded at all.
            passed = LoadBudget::PictureBytes;
            return found;
        }
        result_.decodedBytes += cost;
        result_.inflatedBytes += std::min(header.status == PngHeaderStatus::Ok ? inflation : decodedPictureBytes(width, height),
                                          kMaxInflatedBytesPerLoad - result_.inflatedBytes);
        found.outcome = PictureOutcome::Loaded;
        found.bitmap = std::move(bitmap);
        found.width = width;
        found.height = height;
        return found;
    }

    const ThemeSource& source_;
    GraphicsDevice* device_;
    bool withNotes_;
    PictureLoad result_;
    std::unordered_map<std::u16string, FoundPicture> byName_;
    std::unordered_map<std::int32_t, FoundPicture> byEntry_;
    MemberInfo entry_;  // of the name being looked up, in an indexed archive
    ArchiveStatus entryStatus_ = ArchiveStatus::Ok;
};

}  // namespace

std::uint64_t decodedPictureBytes(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4u;
}

PictureLoad loadThemeImages(Theme& target, const ThemeSource& source, GraphicsDevice* device, bool withNotes) {
    target.floorImage = ImageFrame{};
    target.ceilingImage = ImageFrame{};
    target.backgroundImage = ImageFrame{};
    target.screenImage = ImageFrame{};
    PictureLoad load;
    if (device != nullptr || withNotes) {
        // An archive is opened once, its directory read once, for all its pictures.
        const ThemeSource indexed = withArchiveIndex(source);
        PictureLoader loader(indexed, device, withNotes);
        std::size_t index = 0;
        visitThemePictures(target, [&](const ThemePicture& picture) { return loader.load(picture, index++); });
        load = loader.take();
    }
    // Nothing between the floor's decoding and this reads the width.
    if (!target.floorName.empty() && target.params.width == -1.0f) {
        target.params.width = static_cast<float>(target.floorImage.width);
    }
    return load;
}

PictureLoad loadThemeImages() {
    // Without an off-screen target there is nothing to create bitmaps on.
    GraphicsDevice* device = desktopHost.frameTarget ? platform().graphics : nullptr;
    return loadThemeImages(theme, themeSourceFor(appState.currentTheme), device);
}

}  // namespace velmora
