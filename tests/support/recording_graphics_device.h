#pragma once
// A drawing device for tests: it draws nothing, records every call in order, hands out fake
// bitmaps of sizes the test registers, and can be told to fail any set-up step or endDraw. Its
// set-up and frame end are recorded as the Direct2D device goes through them (the factories, the
// two targets, the end and the fetch of the frame).
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ports/graphics_device.h"

namespace velmora::testing {

// A bitmap with a size and nothing else; it keeps the live count of the device that made it.
class FakeBitmap : public Bitmap {
public:
    FakeBitmap(std::int32_t width, std::int32_t height, std::shared_ptr<int> liveCount, std::u16string source);
    ~FakeBitmap() override;
    std::int32_t pixelWidth() const override { return width_; }
    std::int32_t pixelHeight() const override { return height_; }
    // The path or "bytes:<content>" it was made from.
    const std::u16string& source() const { return source_; }

private:
    std::int32_t width_;
    std::int32_t height_;
    std::shared_ptr<int> liveCount_;
    std::u16string source_;
};

enum class DeviceCall {
    CreateImagingFactory,
    CreateDrawingFactory,
    CreateWindowTarget,
    CreateFrameTarget,
    CreateOffscreenTarget,
    LoadPictureFile,
    LoadPictureBytes,
    BeginDraw,
    SetTransform,
    Clear,
    DrawBitmap,
    EndDraw,
    FetchFrameBitmap,
    PresentFrameBitmap,
    ReleaseTargets,
};

const char* deviceCallName(DeviceCall call);

struct RecordedCall {
    DeviceCall call{};
    // SetTransform: the matrix; DrawBitmap: the transform current at that moment.
    Matrix3x2 transform{};
    // DrawBitmap.
    const Bitmap* bitmap = nullptr;
    RectF dest{};
    float opacity = 0;
    Interpolation mode = Interpolation::NearestNeighbor;
    // Clear.
    ColorF color{};
    // CreateWindowTarget, CreateOffscreenTarget.
    WindowHandle window = 0;
    std::uint32_t pixelWidth = 0;
    std::uint32_t pixelHeight = 0;
    // LoadPictureFile: the path; LoadPictureBytes: the bytes as text (one char16_t per byte).
    std::u16string path;
    std::size_t byteCount = 0;
    // Set-up steps, endDraw, fetchFrameBitmap, picture loads: what the call returned.
    bool succeeded = true;
};

class RecordingGraphicsDevice : public OffscreenGraphicsDevice {
public:
    RecordingGraphicsDevice();
    ~RecordingGraphicsDevice() override;

    // --- Script -------------------------------------------------------------------------
    // Pictures the loads return: by exact path, or by the exact byte content of a member.
    // Anything not registered decodes to null.
    void registerPicture(const std::u16string& path, std::int32_t width, std::int32_t height);
    void registerPicture(const std::string& utf8Path, std::int32_t width, std::int32_t height);
    void registerPictureBytes(const std::string& content, std::int32_t width, std::int32_t height);
    // Makes a step fail (or succeed again).
    bool failImagingFactory = false;
    bool failDrawingFactory = false;
    bool failWindowTarget = false;
    bool failFrameTarget = false;  // also the off-screen target
    bool failEndDraw = false;
    bool failFetchFrameBitmap = false;
    // endDraw fails as a lost device does, until the targets are made again.
    bool loseTargets = false;
    // When false, no call is recorded except the picture loads (a cheap device for benchmarks).
    bool recording = true;
    // When set, releaseTargets is also written here, among the window system's and shell's events.
    std::vector<std::string>* eventLog = nullptr;

    // --- What happened --------------------------------------------------------------------
    const std::vector<RecordedCall>& calls() const { return calls_; }
    std::vector<RecordedCall> callsOf(DeviceCall kind) const;
    std::vector<DeviceCall> callSequence() const;
    std::size_t count(DeviceCall kind) const;
    void clearCalls() { calls_.clear(); }
    // Paths asked of loadPictureFile, in order (hits and misses).
    const std::vector<std::u16string>& requestedPaths() const { return requestedPaths_; }
    // Byte sizes given to loadPictureBytes, in order.
    const std::vector<std::size_t>& requestedByteSizes() const { return requestedByteSizes_; }
    // Bitmaps made and not yet destroyed.
    int liveBitmaps() const { return *liveCount_; }
    // Bitmaps made in total.
    int createdBitmaps() const { return created_; }
    // Every picture of the scene handed to drawPicture, in order, with its placement.
    struct DrawnPicture {
        const Bitmap* bitmap;
        PicturePlacement placement;
    };
    const std::vector<DrawnPicture>& pictures() const { return pictures_; }
    // The transform the device would apply now.
    const Matrix3x2& currentTransform() const { return transform_; }

    // --- GraphicsDevice ---------------------------------------------------------------------
    DeviceSetup prepare() override;
    DeviceSetup createTargets(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    bool createOffscreenTarget(std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    bool writeFramePng(const std::u16string&) override { return false; }
    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string& path) override;
    std::unique_ptr<Bitmap> loadPictureBytes(const std::uint8_t* data, std::size_t size) override;
    void beginDraw() override;
    void setTransform(const Matrix3x2& transform) override;
    void clear(const ColorF& color) override;
    void drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) override;
    // Records the picture, then draws it as every device does (transform and drawBitmap).
    void drawPicture(const Bitmap& bitmap, const PicturePlacement& placement) override;
    bool endDraw() override;
    void presentFrameBitmap() override;
    bool targetLost() override { return lost_; }
    void releaseTargets() override;

private:
    struct Size {
        std::int32_t width;
        std::int32_t height;
    };
    void record(RecordedCall call);
    std::unique_ptr<Bitmap> make(const Size& size, std::u16string source);

    std::vector<RecordedCall> calls_;
    std::vector<DrawnPicture> pictures_;
    std::vector<std::u16string> requestedPaths_;
    std::vector<std::size_t> requestedByteSizes_;
    std::map<std::u16string, Size> byPath_;
    std::map<std::string, Size> byBytes_;
    std::shared_ptr<int> liveCount_;
    int created_ = 0;
    Matrix3x2 transform_{};
    bool lost_ = false;
    bool imagingFactory_ = false;
    bool drawingFactory_ = false;
};

// UTF-8 to UTF-16 for test paths (ASCII and the usual multi-byte forms).
std::u16string toU16(const std::string& utf8);

}  // namespace velmora::testing
