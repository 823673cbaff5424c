#include "platform/linux/player/x11_presenter.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>

#include "platform/linux/player/x11_errors.h"
#include "platform/linux/player/x11_window_system.h"

namespace velmora::x11 {

namespace {

// The byte order of the frame's 32-bit pixels in memory.
constexpr int kFrameByteOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;

// Frames in a row that found their buffer on the server before it is asked whether the put was
// lost (about a second at 60 frames per second).
constexpr int kRefusalsBeforeSync = 60;

std::string sizeText(std::uint32_t width, std::uint32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

}  // namespace

bool visualFitsFrames(Display* display, std::string& why) {
    const int screen = DefaultScreen(display);
    const Visual* visual = DefaultVisual(display, screen);
    const int depth = DefaultDepth(display, screen);
    if (visual->c_class != TrueColor || (depth != 24 && depth != 32) || visual->red_mask != 0xFF0000ul ||
        visual->green_mask != 0xFF00ul || visual->blue_mask != 0xFFul) {
        why = "the X screen is not a 24-bit true-colour screen (its default visual has depth " + std::to_string(depth) + ")";
        return false;
    }
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    bool thirtyTwoBits = false;
    for (int i = 0; i < count; ++i) {
        if (formats[i].depth == depth) thirtyTwoBits = formats[i].bits_per_pixel == 32;
    }
    if (formats != nullptr) XFree(formats);
    if (!thirtyTwoBits) {
        why = "the X screen does not keep its pixels in 32 bits";
        return false;
    }
    return true;
}

void DeliveryLog::note(std::uint64_t nowMs) {
    if (frames_ > 0) {
        const std::uint64_t gap = nowMs - last_;
        ++gaps_[std::min<std::uint64_t>(gap, kGapBuckets - 1)];
        longest_ = std::max(longest_, gap);
    } else {
        first_ = nowMs;
    }
    last_ = nowMs;
    ++frames_;
}

std::uint64_t DeliveryLog::gapPercentile(double share) const {
    if (frames_ < 2) return 0;
    const double wanted = share * static_cast<double>(frames_ - 1);
    std::uint64_t below = 0;
    for (std::size_t gap = 0; gap < kGapBuckets; ++gap) {
        below += gaps_[gap];
        if (static_cast<double>(below) >= wanted) return gap;
    }
    return kGapBuckets - 1;
}

X11Presenter::X11Presenter(Display* display, bool useSharedMemory)
    // The server reads a shared picture as it lies in memory; only XPutImage reorders bytes.
    : display_(display), useSharedMemory_(useSharedMemory && ImageByteOrder(display) == kFrameByteOrder) {
    if (useSharedMemory_) completionEvent_ = XShmGetEventBase(display_) + ShmCompletion;
}

X11Presenter::~X11Presenter() {
    releaseBuffers();
    if (gc_ != nullptr) XFreeGC(display_, gc_);
}

bool X11Presenter::createBuffers(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    failure_.clear();
    releaseBuffers();
    if (window_ != static_cast<Window>(window) || gc_ == nullptr) {
        if (gc_ != nullptr) XFreeGC(display_, gc_);
        window_ = static_cast<Window>(window);
        gc_ = XCreateGC(display_, window_, 0, nullptr);
    }
    if (useSharedMemory_) {
        bool made = true;
        for (Buffer& buffer : buffers_) made = made && createSharedImage(buffer, pixelWidth, pixelHeight);
        if (made) return true;
        releaseBuffers();
        // A server that has the extension but cannot reach our memory (a display on another
        // machine), or a system short of shared memory: the frames go by XPutImage from now on.
        useSharedMemory_ = false;
    }
    for (Buffer& buffer : buffers_) {
        if (!createPlainImage(buffer, pixelWidth, pixelHeight)) {
            releaseBuffers();
            return false;
        }
    }
    return true;
}

bool X11Presenter::createSharedImage(Buffer& buffer, std::uint32_t width, std::uint32_t height) {
    const int screen = DefaultScreen(display_);
    XShmSegmentInfo& segment = buffer.segment;
    buffer.image = XShmCreateImage(display_, DefaultVisual(display_, screen), static_cast<unsigned>(DefaultDepth(display_, screen)),
                                   ZPixmap, nullptr, &segment, width, height);
    if (buffer.image == nullptr || buffer.image->bits_per_pixel != 32) return false;
    const std::size_t bytes = static_cast<std::size_t>(buffer.image->bytes_per_line) * height;
    segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment.shmid < 0) {
        segment.shmaddr = nullptr;
        return false;
    }
    void* address = shmat(segment.shmid, nullptr, 0);
    // Marked for removal at once: it then goes as soon as both sides have let go of it, also
    // when the program is killed.
    shmctl(segment.shmid, IPC_RMID, nullptr);
    if (address == reinterpret_cast<void*>(-1)) {
        segment.shmaddr = nullptr;
        return false;
    }
    segment.shmaddr = buffer.image->data = static_cast<char*>(address);
    segment.readOnly = False;
    ErrorTrap trap(display_);
    XShmAttach(display_, &segment);
    if (trap.failed()) return false;
    buffer.attached = true;
    return true;
}

bool X11Presenter::createPlainImage(Buffer& buffer, std::uint32_t width, std::uint32_t height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 4u;
    char* pixels = static_cast<char*>(std::calloc(stride, height));
    if (pixels == nullptr) {
        failure_ = "not enough memory for a " + sizeText(width, height) + " picture";
        return false;
    }
    const int screen = DefaultScreen(display_);
    buffer.image = XCreateImage(display_, DefaultVisual(display_, screen), static_cast<unsigned>(DefaultDepth(display_, screen)),
                                ZPixmap, 0, pixels, width, height, 32, static_cast<int>(stride));
    if (buffer.image == nullptr) {
        std::free(pixels);
        failure_ = "cannot make a " + sizeText(width, height) + " picture for the X server";
        return false;
    }
    // The pixels stay in the frame's order; XPutImage reorders them for the server if need be.
    buffer.image->byte_order = kFrameByteOrder;
    return true;
}

void X11Presenter::releaseBuffers() {
    bool detached = false;
    for (Buffer& buffer : buffers_) {
        if (buffer.attached) {
            XShmDetach(display_, &buffer.segment);
            detached = true;
        }
    }
    // The server has let go of the segments (and finished every put from them) before they go.
    if (detached) XSync(display_, False);
    for (Buffer& buffer : buffers_) {
        if (buffer.segment.shmaddr != nullptr) shmdt(buffer.segment.shmaddr);
        if (buffer.image != nullptr) {
            if (buffer.segment.shmaddr != nullptr) buffer.image->data = nullptr;  // the segment's memory
            XDestroyImage(buffer.image);
        }
        buffer = Buffer{};
    }
    refusals_ = 0;
}

std::uint8_t* X11Presenter::bufferPixels(int buffer) {
    XImage* image = buffers_[static_cast<std::size_t>(buffer)].image;
    return image != nullptr ? reinterpret_cast<std::uint8_t*>(image->data) : nullptr;
}

std::size_t X11Presenter::bufferStride() const {
    const XImage* image = buffers_[0].image;
    return image != nullptr ? static_cast<std::size_t>(image->bytes_per_line) : 0;
}

bool X11Presenter::takeEvent(const XEvent& event) {
    if (!useSharedMemory_ || event.type != completionEvent_) return false;
    const auto& completion = reinterpret_cast<const XShmCompletionEvent&>(event);
    for (Buffer& buffer : buffers_) {
        if (buffer.attached && buffer.segment.shmseg == completion.shmseg && buffer.pending > 0) {
            --buffer.pending;
            delivered_.note(monotonicMs());
        }
    }
    // Also one of the buffers made before the last size change.
    return true;
}

void X11Presenter::takeCompletions() {
    XEvent event;
    while (XCheckTypedEvent(display_, completionEvent_, &event)) takeEvent(event);
}

bool X11Presenter::bufferFree(int index) {
    Buffer& buffer = buffers_[static_cast<std::size_t>(index)];
    if (buffer.pending > 0) takeCompletions();
    if (buffer.pending > 0 && ++refusals_ >= kRefusalsBeforeSync) {
        // No completion for so long: after a round trip the server has reported every put it
        // carried out, and a put it refused (the window gone) will never be.
        XSync(display_, False);
        takeCompletions();
        for (Buffer& lost : buffers_) lost.pending = 0;
    }
    if (buffer.pending > 0) return false;
    refusals_ = 0;
    return true;
}

void X11Presenter::present(int index, std::span<const PixelBox> changed) {
    Buffer& buffer = buffers_[static_cast<std::size_t>(index)];
    if (buffer.image == nullptr || gc_ == nullptr) return;
    const PixelBox whole{0, 0, buffer.image->width, buffer.image->height};
    std::size_t last = changed.size();
    for (std::size_t i = 0; i < changed.size(); ++i)
        if (!intersection(changed[i], whole).empty()) last = i;
    ++presented_;
    if (last == changed.size()) return;  // the window shows this frame already
    for (std::size_t i = 0; i <= last; ++i) {
        const PixelBox box = intersection(changed[i], whole);
        if (box.empty()) continue;
        const auto width = static_cast<unsigned>(box.right - box.left), height = static_cast<unsigned>(box.bottom - box.top);
        if (useSharedMemory_) {
            // The server copies from the buffer when it gets to the request. The frame's last put
            // asks for a completion, which comes once the server has carried out the puts before
            // it too; until then the buffer is not drawn into.
            XShmPutImage(display_, window_, gc_, buffer.image, box.left, box.top, box.left, box.top, width, height, i == last ? True : False);
        } else {
            XPutImage(display_, window_, gc_, buffer.image, box.left, box.top, box.left, box.top, width, height);
        }
    }
    if (useSharedMemory_) {
        ++buffer.pending;
    } else {
        delivered_.note(monotonicMs());
    }
    XFlush(display_);
}

void printFrameStats(const X11Presenter& presenter, std::uint64_t skipped) {
    const DeliveryLog& log = presenter.deliveries();
    const double seconds = static_cast<double>(log.spanMs()) / 1000.0;
    const double rate = seconds > 0 ? static_cast<double>(log.frames() - 1) / seconds : 0.0;
    std::fprintf(stderr,
                 "velmora-tool: frame stats: delivered=%llu span_s=%.3f per_second=%.2f skipped=%llu gap_median_ms=%llu "
                 "gap_p95_ms=%llu gap_max_ms=%llu shm=%d\n",
                 static_cast<unsigned long long>(log.frames()), seconds, rate, static_cast<unsigned long long>(skipped),
                 static_cast<unsigned long long>(log.gapPercentile(0.5)), static_cast<unsigned long long>(log.gapPercentile(0.95)),
                 static_cast<unsigned long long>(log.longestGapMs()), presenter.sharedMemory() ? 1 : 0);
}

}  // namespace velmora::x11
