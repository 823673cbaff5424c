// Animated WebP files of the cairo device's frames, through libwebp's animation encoder.
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/linux/device/cairo_graphics_device.h"
#include "platform/host.h"

namespace velmora {

namespace {

// One frame's pixels (BGRX, rows without padding) and how long it shows.
struct HeldFrame {
    std::vector<std::uint8_t> pixels;
    std::int32_t durationMs = 0;
};

class WebpAnimationWriter final : public AnimationWriter {
public:
    WebpAnimationWriter(CairoGraphicsDevice& device, WebPAnimEncoder* encoder, int width, int height, const AnimationStyle& style)
        : device_(device), encoder_(encoder), width_(width), height_(height), loopFadeMs_(style.loopFadeMs) {
        WebPConfigInit(&config_);
        if (style.quality >= 0) {
            // Lossy for sharing: a few times smaller, pixel edges a little soft.
            config_.lossless = 0;
            config_.quality = static_cast<float>(style.quality);
            config_.method = 4;
        } else {
            // Lossless at a low effort: pixel art compresses well anyway, and a preview of a few
            // hundred full-HD frames must not take minutes.
            WebPConfigLosslessPreset(&config_, 1);
        }
    }
    ~WebpAnimationWriter() override { WebPAnimEncoderDelete(encoder_); }
    WebpAnimationWriter(const WebpAnimationWriter&) = delete;
    WebpAnimationWriter& operator=(const WebpAnimationWriter&) = delete;

    bool addFrame(std::int32_t durationMs) override {
        cairo_surface_t* frame = device_.fetchedFrame();
        if (frame == nullptr || cairo_image_surface_get_width(frame) != width_ || cairo_image_surface_get_height(frame) != height_) {
            error_ = "there is no finished frame of the picture's size";
            return false;
        }
        if (durationMs < 1) durationMs = 1;
        cairo_surface_flush(frame);
        const std::uint8_t* data = cairo_image_surface_get_data(frame);
        const int stride = cairo_image_surface_get_stride(frame);
        if (loopFadeMs_ <= 0) return encode(data, stride, durationMs);

        // A looping animation: the frames of the first stretch are kept to fade the end into,
        // and the last as many frames are held back until the end is known.
        HeldFrame held{copyOf(data, stride), durationMs};
        if (headMs_ < loopFadeMs_) {
            headMs_ += durationMs;
            head_.push_back(std::move(held));
            return true;
        }
        tail_.push_back(std::move(held));
        if (tail_.size() <= head_.size()) return true;
        HeldFrame oldest = std::move(tail_.front());
        tail_.pop_front();
        return encode(oldest.pixels.data(), width_ * 4, oldest.durationMs);
    }

    bool finish(const std::filesystem::path& file) override {
        if (loopFadeMs_ > 0 && !fadeIntoStart()) return false;
        if (frames_ == 0) return fail("there are no frames");
        WebPData data;
        WebPDataInit(&data);
        if (!WebPAnimEncoderAdd(encoder_, nullptr, timestamp_, nullptr) || !WebPAnimEncoderAssemble(encoder_, &data)) {
            WebPDataClear(&data);
            return fail(WebPAnimEncoderGetError(encoder_));
        }
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (out == nullptr) {
            WebPDataClear(&data);
            return fail("cannot open the file for writing");
        }
        const bool written = std::fwrite(data.bytes, 1, data.size, out) == data.size;
        const bool closed = std::fclose(out) == 0;
        WebPDataClear(&data);
        if (!written || !closed) return fail("cannot write the file");
        return true;
    }

    std::string error() const override { return error_; }

private:
    std::vector<std::uint8_t> copyOf(const std::uint8_t* data, int stride) const {
        const std::size_t row = static_cast<std::size_t>(width_) * 4;
        std::vector<std::uint8_t> pixels(row * static_cast<std::size_t>(height_));
        for (int y = 0; y < height_; ++y) std::memcpy(pixels.data() + row * static_cast<std::size_t>(y), data + static_cast<std::ptrdiff_t>(y) * stride, row);
        return pixels;
    }

    // The held-back end, each frame mixed with the start frame of the same place in the fade,
    // more of the start the nearer the end: the last frame is the start's last kept frame, and
    // the file's first frame follows it as it followed in play. Too few frames for a fade:
    // they are written as they are.
    bool fadeIntoStart() {
        const std::size_t fade = tail_.size() == head_.size() ? head_.size() : 0;
        for (std::size_t k = 0; k < tail_.size(); ++k) {
            HeldFrame& frame = tail_[k];
            if (fade > 0) {
                const std::uint32_t weight = static_cast<std::uint32_t>(((k + 1) * 256) / fade);
                const std::vector<std::uint8_t>& start = head_[k].pixels;
                for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
                    frame.pixels[i] = static_cast<std::uint8_t>((frame.pixels[i] * (256 - weight) + start[i] * weight + 128) >> 8);
                }
            }
            if (!encode(frame.pixels.data(), width_ * 4, frame.durationMs)) return false;
        }
        if (fade == 0) {
            for (const HeldFrame& frame : head_) {
                if (!encode(frame.pixels.data(), width_ * 4, frame.durationMs)) return false;
            }
        }
        return true;
    }

    bool encode(const std::uint8_t* bgrx, int stride, std::int32_t durationMs) {
        WebPPicture picture;
        if (!WebPPictureInit(&picture)) return fail("the WebP encoder does not match its header");
        picture.use_argb = 1;
        picture.width = width_;
        picture.height = height_;
        // Every frame is drawn on opaque black, so its premultiplied pixels are its plain ones;
        // the fourth byte is left out and the picture is stored without alpha.
        bool ok = WebPPictureImportBGRX(&picture, bgrx, stride) != 0;
        ok = ok && WebPAnimEncoderAdd(encoder_, &picture, timestamp_, &config_) != 0;
        WebPPictureFree(&picture);
        if (!ok) return fail(WebPAnimEncoderGetError(encoder_));
        timestamp_ += durationMs;
        ++frames_;
        return true;
    }

    bool fail(const char* why) {
        error_ = why != nullptr && *why != '\0' ? why : "the WebP encoder failed";
        return false;
    }

    CairoGraphicsDevice& device_;
    WebPAnimEncoder* encoder_;
    WebPConfig config_;
    int width_;
    int height_;
    std::int32_t loopFadeMs_;
    std::int32_t headMs_ = 0;
    std::vector<HeldFrame> head_;
    std::deque<HeldFrame> tail_;
    int timestamp_ = 0;
    int frames_ = 0;
    std::string error_;
};

}  // namespace

std::unique_ptr<AnimationWriter> createWebpAnimationWriter(OffscreenGraphicsDevice& device, std::uint32_t width,
                                                           std::uint32_t height, const AnimationStyle& style) {
    auto* cairoDevice = dynamic_cast<CairoGraphicsDevice*>(&device);
    if (cairoDevice == nullptr || width == 0 || height == 0 || width > kMaxAnimationSide || height > kMaxAnimationSide) {
        return nullptr;
    }
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options)) return nullptr;
    options.anim_params.loop_count = 0;           // for ever
    options.anim_params.bgcolor = 0xFF000000u;    // opaque black, as every frame starts
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(static_cast<int>(width), static_cast<int>(height), &options);
    if (encoder == nullptr) return nullptr;
    return std::make_unique<WebpAnimationWriter>(*cairoDevice, encoder, static_cast<int>(width), static_cast<int>(height), style);
}

}  // namespace velmora
