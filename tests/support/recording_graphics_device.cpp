#include "support/recording_graphics_device.h"

#include <utility>

namespace velmora::testing {

FakeBitmap::FakeBitmap(std::int32_t width, std::int32_t height, std::shared_ptr<int> liveCount, std::u16string source)
    : width_(width), height_(height), liveCount_(std::move(liveCount)), source_(std::move(source)) {
    ++*liveCount_;
}

FakeBitmap::~FakeBitmap() { --*liveCount_; }

const char* deviceCallName(DeviceCall call) {
    switch (call) {
        case DeviceCall::CreateImagingFactory: return "createImagingFactory";
        case DeviceCall::CreateDrawingFactory: return "createDrawingFactory";
        case DeviceCall::CreateWindowTarget: return "createWindowTarget";
        case DeviceCall::CreateFrameTarget: return "createFrameTarget";
        case DeviceCall::CreateOffscreenTarget: return "createOffscreenTarget";
        case DeviceCall::LoadPictureFile: return "loadPictureFile";
        case DeviceCall::LoadPictureBytes: return "loadPictureBytes";
        case DeviceCall::BeginDraw: return "beginDraw";
        case DeviceCall::SetTransform: return "setTransform";
        case DeviceCall::Clear: return "clear";
        case DeviceCall::DrawBitmap: return "drawBitmap";
        case DeviceCall::EndDraw: return "endDraw";
        case DeviceCall::FetchFrameBitmap: return "fetchFrameBitmap";
        case DeviceCall::PresentFrameBitmap: return "presentFrameBitmap";
        case DeviceCall::ReleaseTargets: return "releaseTargets";
    }
    return "?";
}

std::u16string toU16(const std::string& utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        char32_t cp = b;
        std::size_t extra = 0;
        if (b >= 0xF0) {
            cp = b & 0x07;
            extra = 3;
        } else if (b >= 0xE0) {
            cp = b & 0x0F;
            extra = 2;
        } else if (b >= 0xC0) {
            cp = b & 0x1F;
            extra = 1;
        }
        ++i;
        for (std::size_t k = 0; k < extra && i < utf8.size(); ++k, ++i) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

namespace {

RecordedCall callOf(DeviceCall kind) {
    RecordedCall c;
    c.call = kind;
    return c;
}

}  // namespace

RecordingGraphicsDevice::RecordingGraphicsDevice() : liveCount_(std::make_shared<int>(0)) {}

RecordingGraphicsDevice::~RecordingGraphicsDevice() = default;

void RecordingGraphicsDevice::registerPicture(const std::u16string& path, std::int32_t width, std::int32_t height) {
    byPath_[path] = Size{width, height};
}

void RecordingGraphicsDevice::registerPicture(const std::string& utf8Path, std::int32_t width, std::int32_t height) {
    registerPicture(toU16(utf8Path), width, height);
}

void RecordingGraphicsDevice::registerPictureBytes(const std::string& content, std::int32_t width, std::int32_t height) {
    byBytes_[content] = Size{width, height};
}

std::vector<RecordedCall> RecordingGraphicsDevice::callsOf(DeviceCall kind) const {
    std::vector<RecordedCall> out;
    for (const auto& c : calls_) {
        if (c.call == kind) out.push_back(c);
    }
    return out;
}

std::vector<DeviceCall> RecordingGraphicsDevice::callSequence() const {
    std::vector<DeviceCall> out;
    out.reserve(calls_.size());
    for (const auto& c : calls_) out.push_back(c.call);
    return out;
}

std::size_t RecordingGraphicsDevice::count(DeviceCall kind) const {
    std::size_t n = 0;
    for (const auto& c : calls_) n += c.call == kind ? 1 : 0;
    return n;
}

void RecordingGraphicsDevice::record(RecordedCall call) {
    if (recording) calls_.push_back(std::move(call));
}

std::unique_ptr<Bitmap> RecordingGraphicsDevice::make(const Size& size, std::u16string source) {
    ++created_;
    return std::make_unique<FakeBitmap>(size.width, size.height, liveCount_, std::move(source));
}

DeviceSetup RecordingGraphicsDevice::prepare() {
    // As the Direct2D device: each factory is made once, the first time it is asked for.
    if (!imagingFactory_) {
        RecordedCall c = callOf(DeviceCall::CreateImagingFactory);
        c.succeeded = !failImagingFactory;
        record(c);
        if (!c.succeeded) return DeviceSetup::Nothing;
        imagingFactory_ = true;
    }
    if (!drawingFactory_) {
        RecordedCall c = callOf(DeviceCall::CreateDrawingFactory);
        c.succeeded = !failDrawingFactory;
        record(c);
        if (!c.succeeded) return DeviceSetup::ImagingFactory;
        drawingFactory_ = true;
    }
    return DeviceSetup::DrawingFactory;
}

DeviceSetup RecordingGraphicsDevice::createTargets(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    RecordedCall c = callOf(DeviceCall::CreateWindowTarget);
    c.window = window;
    c.pixelWidth = pixelWidth;
    c.pixelHeight = pixelHeight;
    c.succeeded = !failWindowTarget;
    record(c);
    if (!c.succeeded) return DeviceSetup::DrawingFactory;
    RecordedCall frame = callOf(DeviceCall::CreateFrameTarget);
    frame.succeeded = !failFrameTarget;
    record(frame);
    return frame.succeeded ? DeviceSetup::FrameTarget : DeviceSetup::WindowTarget;
}

bool RecordingGraphicsDevice::createOffscreenTarget(std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    RecordedCall c = callOf(DeviceCall::CreateOffscreenTarget);
    c.pixelWidth = pixelWidth;
    c.pixelHeight = pixelHeight;
    c.succeeded = !failFrameTarget;
    record(c);
    return c.succeeded;
}

std::unique_ptr<Bitmap> RecordingGraphicsDevice::loadPictureFile(const std::u16string& path) {
    requestedPaths_.push_back(path);
    const auto found = byPath_.find(path);
    RecordedCall c = callOf(DeviceCall::LoadPictureFile);
    c.path = path;
    c.succeeded = found != byPath_.end();
    record(c);
    if (found == byPath_.end()) return nullptr;
    return make(found->second, path);
}

std::unique_ptr<Bitmap> RecordingGraphicsDevice::loadPictureBytes(const std::uint8_t* data, std::size_t size) {
    requestedByteSizes_.push_back(size);
    std::string content;
    if (data != nullptr) content.assign(reinterpret_cast<const char*>(data), size);
    const auto found = byBytes_.find(content);
    RecordedCall c = callOf(DeviceCall::LoadPictureBytes);
    c.path.assign(content.begin(), content.end());
    c.byteCount = size;
    c.succeeded = found != byBytes_.end();
    record(c);
    if (found == byBytes_.end()) return nullptr;
    return make(found->second, u"bytes:" + c.path);
}

void RecordingGraphicsDevice::beginDraw() { record(callOf(DeviceCall::BeginDraw)); }

void RecordingGraphicsDevice::setTransform(const Matrix3x2& transform) {
    transform_ = transform;
    RecordedCall c = callOf(DeviceCall::SetTransform);
    c.transform = transform;
    record(c);
}

void RecordingGraphicsDevice::clear(const ColorF& color) {
    RecordedCall c = callOf(DeviceCall::Clear);
    c.color = color;
    record(c);
}

void RecordingGraphicsDevice::drawPicture(const Bitmap& bitmap, const PicturePlacement& placement) {
    if (recording) pictures_.push_back(DrawnPicture{&bitmap, placement});
    GraphicsDevice::drawPicture(bitmap, placement);
}

void RecordingGraphicsDevice::drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) {
    if (!recording) return;
    RecordedCall c = callOf(DeviceCall::DrawBitmap);
    c.transform = transform_;
    c.bitmap = &bitmap;
    c.dest = dest;
    c.opacity = opacity;
    c.mode = mode;
    calls_.push_back(std::move(c));
}

bool RecordingGraphicsDevice::endDraw() {
    RecordedCall c = callOf(DeviceCall::EndDraw);
    lost_ = loseTargets;
    c.succeeded = !failEndDraw && !lost_;
    record(c);
    if (!c.succeeded) return false;
    // The finished frame is taken as the Direct2D device takes it, after a successful end.
    RecordedCall fetch = callOf(DeviceCall::FetchFrameBitmap);
    fetch.succeeded = !failFetchFrameBitmap;
    record(fetch);
    return fetch.succeeded;
}

void RecordingGraphicsDevice::releaseTargets() {
    record(callOf(DeviceCall::ReleaseTargets));
    if (eventLog != nullptr) eventLog->push_back("releaseTargets");
    lost_ = false;
}

void RecordingGraphicsDevice::presentFrameBitmap() { record(callOf(DeviceCall::PresentFrameBitmap)); }

}  // namespace velmora::testing
