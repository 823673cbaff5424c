#pragma once
// The desktop on a Wayland compositor with layer-shell: one layer surface per output on the
// background layer, and the presenter that shows the cairo device's frames on them.
//
// The core draws into one window. Here that window is a frame spanning every output, laid out as
// output_layout.h places them (primary output first); each output shows its own rectangle of it,
// copied into one of two shared-memory buffers of that output's physical size, with the output's
// integer scale as the buffer scale (one theme pixel stays a whole number of screen pixels). Only
// what changed is copied and damaged (output_damage.h): between two frames of a scene at rest
// that is a few per cent of the pixels, and a frame that changed nothing commits nothing. A
// buffer is written only after the compositor has released it, and an output gets a new frame
// only after the compositor's frame callback for its previous one: an output the compositor does
// not show is sent nothing, and no output ever has more than one frame queued.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/device/cairo_graphics_device.h"
#include "ports/handles.h"

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct zwlr_layer_shell_v1;
struct zxdg_output_manager_v1;
struct zwlr_foreign_toplevel_manager_v1;

namespace velmora::wayland {

struct Output;
struct Toplevel;

// An output as the core is told of it.
struct PlacedOutput {
    std::string name;
    RectI rect;  // in the frame's coordinates
    std::int32_t scale = 1;
};

// What the compositor tells of another program's toplevel window.
struct ToplevelState {
    bool activated = false;
    bool fullscreen = false;
    bool maximized = false;
    bool minimized = false;
    std::string appId;
    // The rectangle of the first output it is on that shows a scene; empty if none.
    RectI outputRect;
};

class WaylandDesktop final : public FramePresenter {
public:
    explicit WaylandDesktop(wl_display* display);
    ~WaylandDesktop() override;
    WaylandDesktop(const WaylandDesktop&) = delete;
    WaylandDesktop& operator=(const WaylandDesktop&) = delete;

    // Binds the compositor's globals and learns its outputs. False, with one line saying what is
    // missing, when the compositor lacks what the desktop needs.
    bool connect(std::string& why);
    // One layer surface per output, each waited for until the compositor has sized it. False
    // when the connection failed meanwhile.
    bool showSurfaces();
    // Whether the compositor tells the states of other programs' windows (foreign-toplevel).
    bool knowsToplevels() const { return toplevelManager_ != nullptr; }

    // The outputs that show a scene (sized by the compositor), the primary first.
    std::vector<PlacedOutput> outputs() const;
    // The rectangle holding them all; while there is no output, the last one there was.
    RectI bounds() const { return bounds_; }
    // Some output could take a new frame now: it is sized and waits for no frame callback.
    bool frameWanted() const;
    // Called when an output came, went, or changed its size, place or scale.
    std::function<void()> onOutputsChanged;

    // The activated toplevel (0 if none), and what is known of a toplevel.
    WindowHandle activatedToplevel() const;
    std::optional<ToplevelState> toplevel(WindowHandle handle) const;

    // The two frame buffers of the core's window; each createBuffers counts one. A presented
    // frame is copied into each output's own buffer once that output may take one; until every
    // output has taken it, its buffer is not free.
    bool createBuffers(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    std::uint8_t* bufferPixels(int buffer) override;
    std::size_t bufferStride() const override { return stride_; }
    bool bufferFree(int buffer) override;
    // Each output whose pixels changed is given the frame: only the boxes its buffer lacks are
    // copied into it, and only those changed since its last commit are damaged.
    void present(int buffer, std::span<const PixelBox> changed) override;
    std::uint64_t buffersMade() const { return buffersMade_; }
    std::uint64_t presentedFrames() const { return presented_; }
    // Why the last createBuffers failed (one line).
    const std::string& failure() const { return failure_; }

    // What the listeners call (they live in the source file).
    void global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version);
    void globalRemoved(std::uint32_t name);
    void outputDescribed(Output& output);
    void surfaceConfigured(Output& output, std::uint32_t serial, std::uint32_t width, std::uint32_t height);
    void surfaceClosed(Output& output);
    void frameDone(Output& output);
    void bufferReleased(Output& output);
    void toplevelAdded(void* handle);
    void toplevelClosed(Toplevel& toplevel);
    void toplevelManagerFinished();

private:
    void makeSurface(Output& output);
    void dropSurface(Output& output);
    void relayout();
    void changed();
    void commitIfReady(Output& output);
    Output* outputOf(const void* wlOutput) const;

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    zwlr_foreign_toplevel_manager_v1* toplevelManager_ = nullptr;
    std::uint32_t compositorVersion_ = 0;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::vector<std::unique_ptr<Toplevel>> toplevels_;
    WindowHandle nextToplevel_ = 0x1000;
    bool surfacesShown_ = false;
    RectI bounds_{};

    std::vector<std::uint8_t> frames_[kBuffers];
    int shown_ = -1;  // the buffer last presented, which the outputs copy from; none yet
    std::size_t stride_ = 0;
    std::int32_t frameWidth_ = 0;
    std::int32_t frameHeight_ = 0;
    RectI frameBounds_{};  // bounds() when the frame was made: its first pixel lies at the corner
    std::uint64_t buffersMade_ = 0;
    std::uint64_t presented_ = 0;
    std::string failure_;
};

}  // namespace velmora::wayland
