#include "platform/linux/wayland/wayland_desktop.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/linux/wayland/output_damage.h"
#include "platform/linux/wayland/output_layout.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
// The generated header names a parameter "namespace", which C++ reserves.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "xdg-output-unstable-v1-client-protocol.h"

namespace velmora::wayland {

namespace {

// The namespace the compositor's rules may match the surfaces by.
constexpr const char* kLayerNamespace = "velmora";
// The largest frame the window system makes (the core asks for the bounds of all outputs).
constexpr std::uint64_t kMaxFrameBytes = std::uint64_t{1} << 31;

}  // namespace

// A shared-memory buffer of one output.
struct ShmBuffer {
    Output* output = nullptr;
    wl_buffer* buffer = nullptr;
    std::uint8_t* pixels = nullptr;
    std::size_t bytes = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool busy = false;  // attached and not yet released by the compositor
    OwedDamage owed;  // where the frame changed since the buffer was last filled

    ~ShmBuffer() {
        if (buffer != nullptr) wl_buffer_destroy(buffer);
        if (pixels != nullptr) munmap(pixels, bytes);
    }
};

struct Output {
    WaylandDesktop* desktop = nullptr;
    std::uint32_t globalName = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layerSurface = nullptr;
    wl_callback* frameCallback = nullptr;
    std::unique_ptr<ShmBuffer> buffers[2];
    std::string name;
    // As the compositor told them: the wl_output's (geometry, scale) and xdg-output's position.
    std::int32_t geometryX = 0, geometryY = 0;
    std::optional<std::int32_t> logicalX, logicalY;
    std::int32_t scale = 1;
    // As in use: the layer surface's size, and the output's place in the frame.
    OutputPlace place;
    bool described = false;  // wl_output.done came at least once
    bool configured = false;  // the layer surface has a size
    RectI rect{};
    RectI frameRect{};  // rect when the frame buffer was made (where its pixels are in the frame)
    bool pending = false;  // a frame came that this output has not shown yet
    // Where the frame changed since the output's last commit (the damage the compositor is told),
    // and the scale and size of the buffer then: with another, the whole surface changed.
    OwedDamage sinceCommit;
    std::int32_t committedScale = 0;
    std::int32_t committedWidth = 0, committedHeight = 0;

    // The buffers and the surface no longer hold the frame where presents said it changed.
    void owesWhole() {
        for (auto& b : buffers)
            if (b) b->owed.addWhole();
        sinceCommit.addWhole();
    }

    ~Output() {
        buffers[0].reset();
        buffers[1].reset();
        if (frameCallback != nullptr) wl_callback_destroy(frameCallback);
        if (layerSurface != nullptr) zwlr_layer_surface_v1_destroy(layerSurface);
        if (surface != nullptr) wl_surface_destroy(surface);
        if (xdgOutput != nullptr) zxdg_output_v1_destroy(xdgOutput);
        if (output != nullptr) {
            if (wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
                wl_output_release(output);
            } else {
                wl_output_destroy(output);
            }
        }
    }
};

struct Toplevel {
    WaylandDesktop* desktop = nullptr;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    WindowHandle id = 0;
    std::vector<wl_output*> outputs;
    ToplevelState state;    // as of the last done event
    ToplevelState pending;  // as the events since then tell it
    ~Toplevel() {
        if (handle != nullptr) zwlr_foreign_toplevel_handle_v1_destroy(handle);
    }
};

namespace {

// --- listeners: each forwards to the desktop ---------------------------------------------------

const wl_registry_listener kRegistryListener = {
    .global = [](void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
        static_cast<WaylandDesktop*>(data)->global(registry, name, interface, version);
    },
    .global_remove = [](void* data, wl_registry*, std::uint32_t name) { static_cast<WaylandDesktop*>(data)->globalRemoved(name); },
};

const wl_output_listener kOutputListener = {
    .geometry = [](void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t, std::int32_t, const char*,
                   const char*, std::int32_t) {
        auto* o = static_cast<Output*>(data);
        o->geometryX = x;
        o->geometryY = y;
    },
    .mode = [](void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {},
    .done = [](void* data, wl_output*) {
        auto* o = static_cast<Output*>(data);
        o->desktop->outputDescribed(*o);
    },
    .scale = [](void* data, wl_output*, std::int32_t factor) { static_cast<Output*>(data)->scale = usableScale(factor); },
    .name = [](void* data, wl_output*, const char* name) { static_cast<Output*>(data)->name = name != nullptr ? name : ""; },
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener = {
    .logical_position = [](void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
        auto* o = static_cast<Output*>(data);
        o->logicalX = x;
        o->logicalY = y;
    },
    .logical_size = [](void*, zxdg_output_v1*, std::int32_t, std::int32_t) {},
    // Since version 3 the wl_output's done ends the description; before, this one does.
    .done = [](void* data, zxdg_output_v1* xdgOutput) {
        auto* o = static_cast<Output*>(data);
        if (zxdg_output_v1_get_version(xdgOutput) < 3) o->desktop->outputDescribed(*o);
    },
    .name = [](void* data, zxdg_output_v1*, const char* name) {
        auto* o = static_cast<Output*>(data);
        if (o->name.empty() && name != nullptr) o->name = name;
    },
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

const zwlr_layer_surface_v1_listener kLayerSurfaceListener = {
    .configure = [](void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
        auto* o = static_cast<Output*>(data);
        o->desktop->surfaceConfigured(*o, serial, width, height);
    },
    .closed = [](void* data, zwlr_layer_surface_v1*) {
        auto* o = static_cast<Output*>(data);
        o->desktop->surfaceClosed(*o);
    },
};

const wl_callback_listener kFrameListener = {
    .done = [](void* data, wl_callback*, std::uint32_t) {
        auto* o = static_cast<Output*>(data);
        o->desktop->frameDone(*o);
    },
};

const wl_buffer_listener kBufferListener = {
    .release = [](void* data, wl_buffer*) {
        auto* b = static_cast<ShmBuffer*>(data);
        b->busy = false;
        b->output->desktop->bufferReleased(*b->output);
    },
};

const zwlr_foreign_toplevel_handle_v1_listener kToplevelListener = {
    .title = [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {},
    .app_id = [](void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
        static_cast<Toplevel*>(data)->pending.appId = appId != nullptr ? appId : "";
    },
    .output_enter = [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output) {
        auto* t = static_cast<Toplevel*>(data);
        if (std::find(t->outputs.begin(), t->outputs.end(), output) == t->outputs.end()) t->outputs.push_back(output);
    },
    .output_leave = [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output) {
        auto* t = static_cast<Toplevel*>(data);
        t->outputs.erase(std::remove(t->outputs.begin(), t->outputs.end(), output), t->outputs.end());
    },
    .state = [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        auto* t = static_cast<Toplevel*>(data);
        ToplevelState& s = t->pending;
        s.activated = s.fullscreen = s.maximized = s.minimized = false;
        const std::size_t count = states->size / sizeof(std::uint32_t);
        const auto* values = static_cast<const std::uint32_t*>(states->data);
        for (std::size_t i = 0; i < count; ++i) {
            switch (values[i]) {
                case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED: s.activated = true; break;
                case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN: s.fullscreen = true; break;
                case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MAXIMIZED: s.maximized = true; break;
                case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED: s.minimized = true; break;
                default: break;
            }
        }
    },
    .done = [](void* data, zwlr_foreign_toplevel_handle_v1*) {
        auto* t = static_cast<Toplevel*>(data);
        t->state = t->pending;
    },
    .closed = [](void* data, zwlr_foreign_toplevel_handle_v1*) {
        auto* t = static_cast<Toplevel*>(data);
        t->desktop->toplevelClosed(*t);
    },
    .parent = [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
};

const zwlr_foreign_toplevel_manager_v1_listener kToplevelManagerListener = {
    .toplevel = [](void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
        static_cast<WaylandDesktop*>(data)->toplevelAdded(handle);
    },
    .finished = [](void* data, zwlr_foreign_toplevel_manager_v1*) { static_cast<WaylandDesktop*>(data)->toplevelManagerFinished(); },
};

// A buffer of width x height XRGB pixels in memory shared with the compositor.
std::unique_ptr<ShmBuffer> makeBuffer(wl_shm* shm, Output& output, std::int32_t width, std::int32_t height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const std::size_t bytes = stride * static_cast<std::size_t>(height);
    const int fd = memfd_create("velmora-frame", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        close(fd);
        return nullptr;
    }
    void* pixels = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    auto made = std::make_unique<ShmBuffer>();
    made->output = &output;
    made->pixels = static_cast<std::uint8_t*>(pixels);
    made->bytes = bytes;
    made->width = width;
    made->height = height;
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(bytes));
    // The frame's premultiplied ARGB32 of an opaque frame is XRGB8888, byte for byte.
    made->buffer = wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<std::int32_t>(stride), WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(made->buffer, &kBufferListener, made.get());
    return made;
}

}  // namespace

WaylandDesktop::WaylandDesktop(wl_display* display) : display_(display) {}

WaylandDesktop::~WaylandDesktop() {
    toplevels_.clear();
    outputs_.clear();
    if (toplevelManager_ != nullptr) zwlr_foreign_toplevel_manager_v1_destroy(toplevelManager_);
    if (xdgOutputs_ != nullptr) zxdg_output_manager_v1_destroy(xdgOutputs_);
    if (layerShell_ != nullptr) zwlr_layer_shell_v1_destroy(layerShell_);
    if (shm_ != nullptr) wl_shm_destroy(shm_);
    if (compositor_ != nullptr) wl_compositor_destroy(compositor_);
    if (registry_ != nullptr) wl_registry_destroy(registry_);
    wl_display_flush(display_);
}

bool WaylandDesktop::connect(std::string& why) {
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    // The globals, then the outputs' descriptions (and the toplevels there are).
    if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) {
        why = "the Wayland compositor closed the connection";
        return false;
    }
    if (layerShell_ == nullptr) {
        why = "the Wayland compositor does not offer zwlr_layer_shell_v1, which the desktop needs (sway, Hyprland, wayfire, "
              "KDE Plasma and COSMIC offer it; GNOME does not): run velmora-tool play without --desktop for a window, or "
              "in an X11 session";
        return false;
    }
    if (compositor_ == nullptr || shm_ == nullptr || compositorVersion_ < 4) {
        why = "the Wayland compositor lacks wl_compositor 4 or wl_shm";
        return false;
    }
    return true;
}

void WaylandDesktop::global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
    const std::string_view which = interface;
    if (which == wl_compositor_interface.name && compositor_ == nullptr && version >= 4) {
        compositorVersion_ = 4;
        compositor_ = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 4));
    } else if (which == wl_shm_interface.name && shm_ == nullptr) {
        shm_ = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (which == zwlr_layer_shell_v1_interface.name && layerShell_ == nullptr) {
        layerShell_ = static_cast<zwlr_layer_shell_v1*>(wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, 1));
    } else if (which == zxdg_output_manager_v1_interface.name && xdgOutputs_ == nullptr && version >= 2) {
        xdgOutputs_ = static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, std::min<std::uint32_t>(version, 3)));
        for (auto& o : outputs_) {
            if (o->xdgOutput == nullptr) {
                o->xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputs_, o->output);
                zxdg_output_v1_add_listener(o->xdgOutput, &kXdgOutputListener, o.get());
            }
        }
    } else if (which == zwlr_foreign_toplevel_manager_v1_interface.name && toplevelManager_ == nullptr) {
        toplevelManager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min<std::uint32_t>(version, 3)));
        zwlr_foreign_toplevel_manager_v1_add_listener(toplevelManager_, &kToplevelManagerListener, this);
    } else if (which == wl_output_interface.name && version >= 2) {
        auto o = std::make_unique<Output>();
        o->desktop = this;
        o->globalName = name;
        o->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, std::min<std::uint32_t>(version, 4)));
        wl_output_add_listener(o->output, &kOutputListener, o.get());
        if (xdgOutputs_ != nullptr) {
            o->xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputs_, o->output);
            zxdg_output_v1_add_listener(o->xdgOutput, &kXdgOutputListener, o.get());
        }
        outputs_.push_back(std::move(o));
    }
}

void WaylandDesktop::globalRemoved(std::uint32_t name) {
    const auto gone = std::find_if(outputs_.begin(), outputs_.end(), [name](const auto& o) { return o->globalName == name; });
    if (gone == outputs_.end()) return;
    for (auto& t : toplevels_) {
        t->outputs.erase(std::remove(t->outputs.begin(), t->outputs.end(), (*gone)->output), t->outputs.end());
    }
    const bool shown = (*gone)->configured;
    outputs_.erase(gone);
    if (shown) changed();
}

void WaylandDesktop::outputDescribed(Output& output) {
    output.described = true;
    if (surfacesShown_ && output.surface == nullptr && output.layerSurface == nullptr && !output.configured) {
        makeSurface(output);
        return;
    }
    // A new place or scale of an output already shown.
    if (output.configured) {
        output.owesWhole();
        changed();
    }
}

bool WaylandDesktop::showSurfaces() {
    surfacesShown_ = true;
    for (auto& o : outputs_) {
        if (o->described && o->layerSurface == nullptr) makeSurface(*o);
    }
    if (wl_display_roundtrip(display_) < 0) return false;
    relayout();
    return true;
}

void WaylandDesktop::makeSurface(Output& output) {
    output.surface = wl_compositor_create_surface(compositor_);
    output.layerSurface = zwlr_layer_shell_v1_get_layer_surface(layerShell_, output.surface, output.output,
                                                                 ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND, kLayerNamespace);
    zwlr_layer_surface_v1_add_listener(output.layerSurface, &kLayerSurfaceListener, &output);
    // The whole output, whatever panels reserve, and never the keyboard.
    zwlr_layer_surface_v1_set_size(output.layerSurface, 0, 0);
    zwlr_layer_surface_v1_set_anchor(output.layerSurface,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(output.layerSurface, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(output.layerSurface, 0);
    // The first commit carries no buffer: the compositor answers with the size.
    wl_surface_commit(output.surface);
}

void WaylandDesktop::dropSurface(Output& output) {
    output.buffers[0].reset();
    output.buffers[1].reset();
    if (output.frameCallback != nullptr) wl_callback_destroy(output.frameCallback);
    output.frameCallback = nullptr;
    if (output.layerSurface != nullptr) zwlr_layer_surface_v1_destroy(output.layerSurface);
    output.layerSurface = nullptr;
    if (output.surface != nullptr) wl_surface_destroy(output.surface);
    output.surface = nullptr;
    output.configured = false;
}

void WaylandDesktop::surfaceConfigured(Output& output, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(output.layerSurface, serial);
    const auto w = static_cast<std::int32_t>(std::min<std::uint32_t>(width, kMaxOutputSide));
    const auto h = static_cast<std::int32_t>(std::min<std::uint32_t>(height, kMaxOutputSide));
    const bool resized = !output.configured || w != output.place.width || h != output.place.height;
    output.place.width = w;
    output.place.height = h;
    output.configured = w > 0 && h > 0;
    // The surface needs a buffer of its new size before the compositor shows it.
    output.pending = true;
    output.owesWhole();
    if (resized) changed();
}

void WaylandDesktop::surfaceClosed(Output& output) {
    // The compositor took the output's surface away (the output is going): it shows no scene.
    dropSurface(output);
    changed();
}

void WaylandDesktop::frameDone(Output& output) {
    if (output.frameCallback != nullptr) wl_callback_destroy(output.frameCallback);
    output.frameCallback = nullptr;
    commitIfReady(output);
}

void WaylandDesktop::bufferReleased(Output& output) { commitIfReady(output); }

void WaylandDesktop::toplevelAdded(void* handle) {
    auto t = std::make_unique<Toplevel>();
    t->desktop = this;
    t->handle = static_cast<zwlr_foreign_toplevel_handle_v1*>(handle);
    t->id = nextToplevel_++;
    zwlr_foreign_toplevel_handle_v1_add_listener(t->handle, &kToplevelListener, t.get());
    toplevels_.push_back(std::move(t));
}

void WaylandDesktop::toplevelClosed(Toplevel& toplevel) {
    toplevels_.erase(std::remove_if(toplevels_.begin(), toplevels_.end(), [&](const auto& t) { return t.get() == &toplevel; }),
                     toplevels_.end());
}

void WaylandDesktop::toplevelManagerFinished() {
    toplevels_.clear();
    zwlr_foreign_toplevel_manager_v1_destroy(toplevelManager_);
    toplevelManager_ = nullptr;
}

void WaylandDesktop::changed() {
    relayout();
    if (surfacesShown_ && onOutputsChanged) onOutputsChanged();
}

void WaylandDesktop::relayout() {
    std::vector<OutputPlace> places;
    for (auto& o : outputs_) {
        o->place.x = o->logicalX.value_or(o->geometryX);
        o->place.y = o->logicalY.value_or(o->geometryY);
        o->place.scale = o->scale;
        OutputPlace p = o->place;
        if (!o->configured) p.width = p.height = 0;
        places.push_back(p);
    }
    const std::vector<RectI> rects = placeOutputs(places);
    for (std::size_t i = 0; i < outputs_.size(); ++i) outputs_[i]->rect = rects[i];
    const RectI bounds = boundsOf(rects);
    if (bounds.right > bounds.left && bounds.bottom > bounds.top) bounds_ = bounds;
}

std::vector<PlacedOutput> WaylandDesktop::outputs() const {
    std::vector<OutputPlace> places;
    for (const auto& o : outputs_) {
        OutputPlace p = o->place;
        if (!o->configured) p.width = p.height = 0;
        places.push_back(p);
    }
    std::vector<PlacedOutput> placed;
    for (std::size_t i : primaryFirst(places)) {
        const Output& o = *outputs_[i];
        if (!o.configured) continue;
        placed.push_back(PlacedOutput{o.name, o.rect, usableScale(o.scale)});
    }
    return placed;
}

bool WaylandDesktop::frameWanted() const {
    return std::any_of(outputs_.begin(), outputs_.end(), [](const auto& o) { return o->configured && o->frameCallback == nullptr; });
}

Output* WaylandDesktop::outputOf(const void* wlOutput) const {
    for (const auto& o : outputs_) {
        if (o->output == wlOutput) return o.get();
    }
    return nullptr;
}

WindowHandle WaylandDesktop::activatedToplevel() const {
    for (const auto& t : toplevels_) {
        if (t->state.activated) return t->id;
    }
    return 0;
}

std::optional<ToplevelState> WaylandDesktop::toplevel(WindowHandle handle) const {
    for (const auto& t : toplevels_) {
        if (t->id != handle) continue;
        ToplevelState state = t->state;
        for (wl_output* entered : t->outputs) {
            const Output* o = outputOf(entered);
            if (o != nullptr && o->configured) {
                state.outputRect = o->rect;
                break;
            }
        }
        return state;
    }
    return std::nullopt;
}

bool WaylandDesktop::createBuffers(WindowHandle, std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    const std::uint64_t bytes = std::uint64_t{pixelWidth} * pixelHeight * 4;
    if (pixelWidth == 0 || pixelHeight == 0 || bytes > kMaxFrameBytes) {
        failure_ = "no frame of " + std::to_string(pixelWidth) + "x" + std::to_string(pixelHeight) + " pixels can be made";
        return false;
    }
    for (std::vector<std::uint8_t>& frame : frames_) {
        std::vector<std::uint8_t>().swap(frame);
        frame.assign(static_cast<std::size_t>(bytes), 0);
    }
    shown_ = -1;
    stride_ = std::size_t{pixelWidth} * 4;
    frameWidth_ = static_cast<std::int32_t>(pixelWidth);
    frameHeight_ = static_cast<std::int32_t>(pixelHeight);
    frameBounds_ = bounds_;
    // The outputs' windows on the frame moved: every buffer owes the whole of the new frame.
    for (auto& o : outputs_) {
        o->frameRect = o->rect;
        o->owesWhole();
    }
    ++buffersMade_;
    failure_.clear();
    return true;
}

std::uint8_t* WaylandDesktop::bufferPixels(int buffer) {
    if (buffer < 0 || buffer >= kBuffers || frames_[buffer].empty()) return nullptr;
    return frames_[buffer].data();
}

bool WaylandDesktop::bufferFree(int buffer) {
    if (buffer != shown_) return true;
    for (const auto& o : outputs_)
        if (o->pending && o->configured && o->surface != nullptr) return false;
    return true;
}

void WaylandDesktop::present(int buffer, std::span<const PixelBox> changed) {
    if (buffer < 0 || buffer >= kBuffers) return;
    // Where no box says otherwise the buffer holds the frame presented before, so the outputs may
    // copy from it even while some still owe the frame before.
    shown_ = buffer;
    ++presented_;
    for (auto& o : outputs_) {
        const std::optional<PixelSize> size = bufferSize(o->place);
        if (!o->configured || !size) {
            // Sized again, it owes the whole anyway; pending, it is shown once it can be.
            o->owesWhole();
            o->pending = true;
            continue;
        }
        // An output none of whose pixels changed has nothing to commit.
        const FrameWindow window = frameWindow(o->frameRect, frameBounds_, frameWidth_, frameHeight_, size->width, size->height);
        for (const PixelBox& frameBox : changed) {
            const PixelBox box = window.toBuffer(frameBox);
            if (box.empty()) continue;
            o->pending = true;
            o->sinceCommit.add(box);
            for (auto& b : o->buffers)
                if (b) b->owed.add(box);
        }
        commitIfReady(*o);
    }
}

void WaylandDesktop::commitIfReady(Output& output) {
    if (!output.pending || !output.configured || output.surface == nullptr || output.frameCallback != nullptr || shown_ < 0 || frames_[shown_].empty()) return;
    const std::optional<PixelSize> size = bufferSize(output.place);
    if (!size) return;
    ShmBuffer* target = nullptr;
    for (auto& slot : output.buffers) {
        if (slot && slot->busy) continue;
        if (!slot || slot->width != size->width || slot->height != size->height) {
            slot.reset();
            slot = makeBuffer(shm_, output, size->width, size->height);
            if (!slot) continue;
        }
        target = slot.get();
        break;
    }
    // Both buffers are still the compositor's: the release brings this output back here.
    if (target == nullptr) return;

    // The output's rectangle of the frame; whatever of it the frame does not hold (an output
    // come since the frame was made) stays black until the frame is made anew.
    const FrameWindow window = frameWindow(output.frameRect, frameBounds_, frameWidth_, frameHeight_, target->width, target->height);
    fillBuffer(window, frames_[shown_].data(), stride_, target->owed, target->pixels, target->width, target->height);

    const std::int32_t scale = usableScale(output.place.scale);
    if (scale != output.committedScale || target->width != output.committedWidth || target->height != output.committedHeight)
        output.sinceCommit.addWhole();
    wl_surface_set_buffer_scale(output.surface, scale);
    wl_surface_attach(output.surface, target->buffer, 0, 0);
    // The compositor redraws only what changed since the buffer attached before.
    if (output.sinceCommit.whole()) {
        wl_surface_damage_buffer(output.surface, 0, 0, target->width, target->height);
    } else {
        for (const PixelBox& b : output.sinceCommit.boxes())
            wl_surface_damage_buffer(output.surface, b.left, b.top, b.right - b.left, b.bottom - b.top);
    }
    output.sinceCommit.clear();
    output.committedScale = scale;
    output.committedWidth = target->width;
    output.committedHeight = target->height;
    output.frameCallback = wl_surface_frame(output.surface);
    wl_callback_add_listener(output.frameCallback, &kFrameListener, &output);
    wl_surface_commit(output.surface);
    target->busy = true;
    output.pending = false;
}

}  // namespace velmora::wayland
