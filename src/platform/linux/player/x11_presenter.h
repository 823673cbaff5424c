#pragma once
// Shows the cairo device's frames on an X window: the buffer is an XImage in the window's own
// pixel format (32-bit BGRX, which is the frame's premultiplied ARGB32 of an opaque frame), put
// on the window with MIT-SHM where the server has the extension, with XPutImage otherwise.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <string>

#include "platform/linux/device/cairo_graphics_device.h"

namespace velmora::x11 {

// Whether the default visual of the display's screen holds the frame's pixels as they are: a
// true-colour visual of depth 24 or 32 with red, green and blue in bits 16, 8 and 0. The reason
// when it does not.
bool visualFitsFrames(Display* display, std::string& why);

class X11Presenter final : public FramePresenter {
public:
    // useSharedMemory: the server has MIT-SHM.
    X11Presenter(Display* display, bool useSharedMemory);
    ~X11Presenter() override;
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    bool createBuffer(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    std::uint8_t* bufferPixels() override;
    std::size_t bufferStride() const override;
    void present() override;

    bool sharedMemory() const { return useSharedMemory_; }
    // Frames put on the window so far.
    std::uint64_t presentedFrames() const { return presented_; }
    // Why the last createBuffer failed (one line); empty after a success.
    const std::string& failure() const { return failure_; }

private:
    void releaseBuffer();
    bool createSharedImage(std::uint32_t width, std::uint32_t height);
    bool createPlainImage(std::uint32_t width, std::uint32_t height);

    Display* display_;
    bool useSharedMemory_;
    Window window_ = 0;
    GC gc_ = nullptr;
    XImage* image_ = nullptr;
    XShmSegmentInfo segment_{};
    bool attached_ = false;
    std::uint64_t presented_ = 0;
    std::string failure_;
};

}  // namespace velmora::x11
