#include "platform/linux/player/x11_presenter.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/linux/player/x11_errors.h"

namespace velmora::x11 {

namespace {

// The byte order of the frame's 32-bit pixels in memory.
constexpr int kFrameByteOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;

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

X11Presenter::X11Presenter(Display* display, bool useSharedMemory)
    // The server reads a shared picture as it lies in memory; only XPutImage reorders bytes.
    : display_(display), useSharedMemory_(useSharedMemory && ImageByteOrder(display) == kFrameByteOrder) {}

X11Presenter::~X11Presenter() {
    releaseBuffer();
    if (gc_ != nullptr) XFreeGC(display_, gc_);
}

bool X11Presenter::createBuffer(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    failure_.clear();
    releaseBuffer();
    if (window_ != static_cast<Window>(window) || gc_ == nullptr) {
        if (gc_ != nullptr) XFreeGC(display_, gc_);
        window_ = static_cast<Window>(window);
        gc_ = XCreateGC(display_, window_, 0, nullptr);
    }
    return useSharedMemory_ ? createSharedImage(pixelWidth, pixelHeight) : createPlainImage(pixelWidth, pixelHeight);
}

bool X11Presenter::createSharedImage(std::uint32_t width, std::uint32_t height) {
    const int screen = DefaultScreen(display_);
    image_ = XShmCreateImage(display_, DefaultVisual(display_, screen), static_cast<unsigned>(DefaultDepth(display_, screen)), ZPixmap,
                             nullptr, &segment_, width, height);
    if (image_ == nullptr || image_->bits_per_pixel != 32) {
        failure_ = "cannot make a " + sizeText(width, height) + " shared-memory picture for the X server";
        releaseBuffer();
        return false;
    }
    const std::size_t bytes = static_cast<std::size_t>(image_->bytes_per_line) * height;
    segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment_.shmid < 0) {
        failure_ = "the system gives no shared memory for a " + sizeText(width, height) + " picture (" + std::strerror(errno) + ")";
        segment_.shmaddr = nullptr;
        releaseBuffer();
        return false;
    }
    void* address = shmat(segment_.shmid, nullptr, 0);
    // Marked for removal at once: it then goes as soon as both sides have let go of it, also
    // when the program is killed.
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    if (address == reinterpret_cast<void*>(-1)) {
        failure_ = std::string("cannot map the shared memory of the picture (") + std::strerror(errno) + ")";
        segment_.shmaddr = nullptr;
        releaseBuffer();
        return false;
    }
    segment_.shmaddr = image_->data = static_cast<char*>(address);
    segment_.readOnly = False;
    ErrorTrap trap(display_);
    XShmAttach(display_, &segment_);
    if (trap.failed()) {
        failure_ = "the X server cannot use the shared-memory picture (XShmAttach failed: " + trap.errorText() +
                   "); is the display on another machine?";
        releaseBuffer();
        return false;
    }
    attached_ = true;
    return true;
}

bool X11Presenter::createPlainImage(std::uint32_t width, std::uint32_t height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 4u;
    char* pixels = static_cast<char*>(std::calloc(stride, height));
    if (pixels == nullptr) {
        failure_ = "not enough memory for a " + sizeText(width, height) + " picture";
        return false;
    }
    const int screen = DefaultScreen(display_);
    image_ = XCreateImage(display_, DefaultVisual(display_, screen), static_cast<unsigned>(DefaultDepth(display_, screen)), ZPixmap, 0,
                          pixels, width, height, 32, static_cast<int>(stride));
    if (image_ == nullptr) {
        std::free(pixels);
        failure_ = "cannot make a " + sizeText(width, height) + " picture for the X server";
        return false;
    }
    // The pixels stay in the frame's order; XPutImage reorders them for the server if need be.
    image_->byte_order = kFrameByteOrder;
    return true;
}

void X11Presenter::releaseBuffer() {
    if (image_ == nullptr) return;
    if (useSharedMemory_) {
        if (attached_) {
            XShmDetach(display_, &segment_);
            XSync(display_, False);
        }
        if (segment_.shmaddr != nullptr) shmdt(segment_.shmaddr);
        segment_ = XShmSegmentInfo{};
        attached_ = false;
        image_->data = nullptr;  // the segment was the picture's memory
    }
    XDestroyImage(image_);
    image_ = nullptr;
}

std::uint8_t* X11Presenter::bufferPixels() { return image_ != nullptr ? reinterpret_cast<std::uint8_t*>(image_->data) : nullptr; }

std::size_t X11Presenter::bufferStride() const { return image_ != nullptr ? static_cast<std::size_t>(image_->bytes_per_line) : 0; }

void X11Presenter::present() {
    if (image_ == nullptr || gc_ == nullptr) return;
    const auto width = static_cast<unsigned>(image_->width), height = static_cast<unsigned>(image_->height);
    if (useSharedMemory_) {
        XShmPutImage(display_, window_, gc_, image_, 0, 0, 0, 0, width, height, False);
        // The server reads the shared picture when it handles the request; the next frame must
        // not be copied into it before then.
        XSync(display_, False);
    } else {
        XPutImage(display_, window_, gc_, image_, 0, 0, 0, 0, width, height);
        XFlush(display_);
    }
    ++presented_;
}

}  // namespace velmora::x11
