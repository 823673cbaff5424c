#pragma once
// A device that hands every call on to two devices: one scene, drawn on both at once, so that
// tests can compare their frames.
#include <algorithm>
#include <memory>

#include "ports/graphics_device.h"

namespace velmora {

class BothDevices final : public GraphicsDevice {
public:
    BothDevices(GraphicsDevice& first, GraphicsDevice& second) : first_(first), second_(second) {}
    DeviceSetup prepare() override { return std::min(first_.prepare(), second_.prepare()); }
    DeviceSetup createTargets(WindowHandle window, std::uint32_t w, std::uint32_t h) override {
        return std::min(first_.createTargets(window, w, h), second_.createTargets(window, w, h));
    }
    // Pictures are made on the first; the cairo device draws a picture made by another.
    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string& path) override { return first_.loadPictureFile(path); }
    std::unique_ptr<Bitmap> loadPictureBytes(const std::uint8_t* data, std::size_t size) override {
        return first_.loadPictureBytes(data, size);
    }
    void beginDraw() override { both([](GraphicsDevice& d) { d.beginDraw(); }); }
    void setTransform(const Matrix3x2& m) override { both([&](GraphicsDevice& d) { d.setTransform(m); }); }
    void clear(const ColorF& c) override { both([&](GraphicsDevice& d) { d.clear(c); }); }
    void drawBitmap(const Bitmap& b, const RectF& r, float o, Interpolation m) override {
        both([&](GraphicsDevice& d) { d.drawBitmap(b, r, o, m); });
    }
    void drawPicture(const Bitmap& b, const PicturePlacement& p) override { both([&](GraphicsDevice& d) { d.drawPicture(b, p); }); }
    void pushClip(const RectF& r) override { both([&](GraphicsDevice& d) { d.pushClip(r); }); }
    void popClip() override { both([](GraphicsDevice& d) { d.popClip(); }); }
    void setOrigin(float x, float y) override { both([&](GraphicsDevice& d) { d.setOrigin(x, y); }); }
    bool endDraw() override {
        const bool ended = first_.endDraw();
        return second_.endDraw() && ended;
    }
    void presentFrameBitmap() override { both([](GraphicsDevice& d) { d.presentFrameBitmap(); }); }

private:
    template <typename F>
    void both(F&& call) {
        call(first_);
        call(second_);
    }
    GraphicsDevice& first_;
    GraphicsDevice& second_;
};

}  // namespace velmora
