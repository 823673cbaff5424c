#pragma once
// Shows the cairo device's frames on an X window: two buffers, each an XImage in the window's own
// pixel format (32-bit BGRX, which is the frame's premultiplied ARGB32 of an opaque frame). Where
// the server has MIT-SHM they are shared-memory pictures that the device draws into and the
// server copies from; a put asks for a completion event, and a buffer is free again once its
// event has come, so the player never waits for the server. Otherwise XPutImage sends the pixels
// at once, and both buffers are always free. Only the boxes of a frame that changed are put.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <array>
#include <cstdint>
#include <string>

#include "platform/linux/device/cairo_graphics_device.h"

namespace velmora::x11 {

// Whether the default visual of the display's screen holds the frame's pixels as they are: a
// true-colour visual of depth 24 or 32 with red, green and blue in bits 16, 8 and 0. The reason
// when it does not.
bool visualFitsFrames(Display* display, std::string& why);

// When frames reached the window: their count, the time from the first to the last, and the gaps
// between them in whole milliseconds (the last bucket holds every longer gap).
class DeliveryLog {
public:
    static constexpr std::size_t kGapBuckets = 1001;
    void note(std::uint64_t nowMs);
    std::uint64_t frames() const { return frames_; }
    std::uint64_t spanMs() const { return frames_ == 0 ? 0 : last_ - first_; }
    // The gap below which the given share of gaps lie, in milliseconds; 0 with no gap.
    std::uint64_t gapPercentile(double share) const;
    std::uint64_t longestGapMs() const { return longest_; }

private:
    std::uint64_t frames_ = 0;
    std::uint64_t first_ = 0, last_ = 0, longest_ = 0;
    std::array<std::uint64_t, kGapBuckets> gaps_{};
};

class X11Presenter final : public FramePresenter {
public:
    // useSharedMemory: the server has MIT-SHM. Where its pictures cannot be made or attached, the
    // presenter goes on with XPutImage.
    X11Presenter(Display* display, bool useSharedMemory);
    ~X11Presenter() override;
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    bool createBuffers(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    std::uint8_t* bufferPixels(int buffer) override;
    std::size_t bufferStride() const override;
    bool bufferFree(int buffer) override;
    void present(int buffer, std::span<const PixelBox> changed) override;

    // Takes the event if it tells that the server has finished a put of one of the buffers; true
    // when it did.
    bool takeEvent(const XEvent& event);

    bool sharedMemory() const { return useSharedMemory_; }
    // Frames shown on the window so far (also those that changed no pixel of it).
    std::uint64_t presentedFrames() const { return presented_; }
    // Frames the server has finished putting on the window (with XPutImage: every put).
    const DeliveryLog& deliveries() const { return delivered_; }
    // Why the last createBuffers failed (one line); empty after a success.
    const std::string& failure() const { return failure_; }

private:
    struct Buffer {
        XImage* image = nullptr;
        XShmSegmentInfo segment{};
        bool attached = false;
        // Puts the server has not reported finished.
        int pending = 0;
    };

    void releaseBuffers();
    bool createSharedImage(Buffer& buffer, std::uint32_t width, std::uint32_t height);
    bool createPlainImage(Buffer& buffer, std::uint32_t width, std::uint32_t height);
    void takeCompletions();

    Display* display_;
    bool useSharedMemory_;
    int completionEvent_ = -1;
    Window window_ = 0;
    GC gc_ = nullptr;
    std::array<Buffer, kBuffers> buffers_{};
    // Frames in a row that found their buffer still on the server.
    int refusals_ = 0;
    std::uint64_t presented_ = 0;
    DeliveryLog delivered_;
    std::string failure_;
};

// One line on stderr for measuring the player's pace (VELMORA_FRAME_STATS): the frames the server
// finished putting on the window, over how long, at what rate and with what gaps, and the frames
// skipped because no buffer was free.
void printFrameStats(const X11Presenter& presenter, std::uint64_t skipped);

}  // namespace velmora::x11
