// Animated WebP files of the cairo device's frames, through libwebp's animation encoder.
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdio>

#include "platform/linux/device/cairo_graphics_device.h"
#include "platform/host.h"

namespace velmora {

namespace {

class WebpAnimationWriter final : public AnimationWriter {
public:
    WebpAnimationWriter(CairoGraphicsDevice& device, WebPAnimEncoder* encoder, int width, int height)
        : device_(device), encoder_(encoder), width_(width), height_(height) {
        WebPConfigInit(&config_);
        // Lossless at a low effort: pixel art compresses well anyway, and a preview of a few
        // hundred full-HD frames must not take minutes.
        WebPConfigLosslessPreset(&config_, 1);
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
        WebPPicture picture;
        if (!WebPPictureInit(&picture)) return fail("the WebP encoder does not match its header");
        picture.use_argb = 1;
        picture.width = width_;
        picture.height = height_;
        // Every frame is drawn on opaque black, so its premultiplied pixels are its plain ones;
        // the fourth byte is left out and the picture is stored without alpha.
        bool ok = WebPPictureImportBGRX(&picture, cairo_image_surface_get_data(frame), cairo_image_surface_get_stride(frame)) != 0;
        ok = ok && WebPAnimEncoderAdd(encoder_, &picture, timestamp_, &config_) != 0;
        WebPPictureFree(&picture);
        if (!ok) return fail(WebPAnimEncoderGetError(encoder_));
        timestamp_ += durationMs;
        ++frames_;
        return true;
    }

    bool finish(const std::filesystem::path& file) override {
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
    bool fail(const char* why) {
        error_ = why != nullptr && *why != '\0' ? why : "the WebP encoder failed";
        return false;
    }

    CairoGraphicsDevice& device_;
    WebPAnimEncoder* encoder_;
    WebPConfig config_;
    int width_;
    int height_;
    int timestamp_ = 0;
    int frames_ = 0;
    std::string error_;
};

}  // namespace

std::unique_ptr<AnimationWriter> createWebpAnimationWriter(OffscreenGraphicsDevice& device, std::uint32_t width,
                                                           std::uint32_t height) {
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
    return std::make_unique<WebpAnimationWriter>(*cairoDevice, encoder, static_cast<int>(width), static_cast<int>(height));
}

}  // namespace velmora
