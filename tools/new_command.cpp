// new: a small theme to start from, written into a folder the artist names. Its pictures are
// placeholders drawn here, one layer of each kind, and its theme.txt says what each line does.
// Nothing is ever overwritten: the folder must not exist yet.
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"
#include "resources/theme_source.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

namespace fs = std::filesystem;

struct Rgba {
    std::uint8_t r, g, b, a;
};

// A picture being drawn, written as an 8-bit RGBA PNG.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), pixels_(static_cast<std::size_t>(width * height), Rgba{0, 0, 0, 0}) {}

    void set(int x, int y, Rgba colour) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[static_cast<std::size_t>(y * width_ + x)] = colour;
    }
    void fill(int x0, int y0, int x1, int y1, Rgba colour) {
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) set(x, y, colour);
        }
    }
    int width() const { return width_; }
    int height() const { return height_; }

    std::vector<std::uint8_t> png() const {
        std::vector<std::uint8_t> raw;
        raw.reserve(static_cast<std::size_t>((width_ * 4 + 1) * height_));
        for (int y = 0; y < height_; ++y) {
            raw.push_back(0);  // no filter
            for (int x = 0; x < width_; ++x) {
                const Rgba& p = pixels_[static_cast<std::size_t>(y * width_ + x)];
                raw.insert(raw.end(), {p.r, p.g, p.b, p.a});
            }
        }
        uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
        std::vector<std::uint8_t> packed(packedSize);
        compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
        packed.resize(packedSize);

        std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        std::vector<std::uint8_t> header;
        big(header, static_cast<std::uint32_t>(width_));
        big(header, static_cast<std::uint32_t>(height_));
        header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
        chunk(out, "IHDR", header);
        chunk(out, "IDAT", packed);
        chunk(out, "IEND", {});
        return out;
    }

private:
    static void big(std::vector<std::uint8_t>& out, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    static void chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
        big(out, static_cast<std::uint32_t>(data.size()));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        big(out, static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
    }

    int width_, height_;
    std::vector<Rgba> pixels_;
};

Rgba mix(Rgba a, Rgba b, double t) {
    const auto m = [t](std::uint8_t x, std::uint8_t y) { return static_cast<std::uint8_t>(std::lround(x + (y - x) * t)); };
    return Rgba{m(a.r, b.r), m(a.g, b.g), m(a.b, b.b), m(a.a, b.a)};
}

Canvas sky() {
    Canvas c(4, 64);
    for (int y = 0; y < 64; ++y) c.fill(0, y, 4, y + 1, mix(Rgba{40, 70, 140, 255}, Rgba{150, 190, 230, 255}, y / 63.0));
    return c;
}

Canvas floorPicture() {
    Canvas c(320, 16);
    c.fill(0, 0, 320, 16, Rgba{96, 70, 48, 255});
    c.fill(0, 0, 320, 4, Rgba{80, 150, 70, 255});
    for (int x = 0; x < 320; x += 7) c.set(x, 4, Rgba{60, 120, 55, 255});
    for (int x = 3; x < 320; x += 11) c.fill(x, 7 + x % 8, x + 2, 8 + x % 8, Rgba{120, 92, 66, 255});
    return c;
}

Canvas ceiling() {
    Canvas c(320, 12);
    c.fill(0, 0, 320, 3, Rgba{50, 45, 60, 255});
    for (int x = 0; x < 320; x += 16) {
        for (int y = 3; y < 12; ++y) {
            const int half = (12 - y) * 2 / 3;
            c.fill(x + 8 - half, y, x + 8 + half, y + 1, Rgba{50, 45, 60, 255});
        }
    }
    return c;
}

Canvas tint() {
    Canvas c(8, 8);
    c.fill(0, 0, 8, 8, Rgba{255, 220, 160, 18});
    return c;
}

Canvas hill() {
    Canvas c(64, 32);
    for (int x = 0; x < 64; ++x) {
        const double top = 8 + 10 * (1 - std::sin(x / 63.0 * 3.14159265));
        c.fill(x, static_cast<int>(top), x + 1, 32, mix(Rgba{70, 110, 90, 255}, Rgba{50, 90, 75, 255}, x / 63.0));
    }
    return c;
}

Canvas dot(int frame) {
    Canvas c(3, 3);
    const Rgba light{255, 255, 240, 255};
    c.set(1, 1, light);
    if (frame == 0) {
        c.set(0, 1, light);
        c.set(2, 1, light);
    } else {
        c.set(1, 0, light);
        c.set(1, 2, light);
    }
    return c;
}

Canvas walker(int frame) {
    Canvas c(12, 16);
    const Rgba coat{200, 70, 60, 255}, skin{240, 200, 160, 255}, dark{40, 35, 45, 255};
    c.fill(4, 1, 8, 5, skin);
    c.set(7, 2, dark);  // the eye: the picture faces right
    c.fill(3, 5, 9, 11, coat);
    if (frame == 0) {
        c.fill(4, 11, 6, 16, dark);
        c.fill(7, 11, 9, 16, dark);
    } else {
        c.fill(3, 11, 5, 15, dark);
        c.fill(7, 11, 9, 15, dark);
        c.fill(2, 15, 4, 16, dark);
        c.fill(8, 15, 10, 16, dark);
    }
    return c;
}

std::string themeText(const std::string& name) {
    return "# " + name +
           ": a new theme made by velmora-tool new. Each line is one item of the scene, a keyword\n"
           "# first, then key:value pairs separated by single spaces. Change the numbers, draw over\n"
           "# the pictures, add lines, and run \"velmora-tool check\" on this folder to hear of any\n"
           "# problem. Every keyword and key is explained in docs/themes.md (in readme.txt under\n"
           "# \"Making themes\"). Lengths are in pixels of the pictures, speeds in pixels per\n"
           "# millisecond.\n"
           "\n"
           "# The scene is 320 pixels wide (at scale 4, 1280 screen pixels).\n"
           "params width:320\n"
           "# The ground picture (16 pixels high), centred at the bottom; characters walk on the line\n"
           "# ycollider pixels above its bottom edge, here its top edge.\n"
           "floor name:floor ycollider:16\n"
           "# Along the top of the scene.\n"
           "ceiling name:ceiling\n"
           "# Stretched over the whole screen, behind everything.\n"
           "background name:sky\n"
           "# Stretched over the whole screen, over everything: a faint warm tint, mostly transparent.\n"
           "screen name:tint\n"
           "\n"
           "# Hills standing on the walking line: xoffset:1 makes the 12 copies one unbroken row,\n"
           "# centred on the scene's left edge (so it reaches 6 hill widths to either side);\n"
           "# xscroll:20 lets them follow the pan less than the floor (50), so they seem far away.\n"
           "add_sprite name:hill instances:12 xoffset:1 yposition:floor xscroll:20\n"
           "# 40 specks (2 frames, 300 ms each) that fade in and out and drift down (yanimation);\n"
           "# layer:front puts them before the characters.\n"
           "add_particle name:dot layer:front frames:2 duration:300 instances:40 yanimation:0.004 xscroll:10\n"
           "# Two walkers on the floor, turning at the scene's edges; their pictures face right.\n"
           "add_character name:walker type:floor frames:2 duration:200 speed:0.02 instances:2\n";
}

bool writeBytes(const fs::path& file, const void* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    return !out.fail();
}

}  // namespace

int runNew(const std::vector<std::string>& words) {
    const Arguments args = parseArguments(words, {}, {}, true);
    if (args.positional.size() != 1) throw UsageError("new needs one FOLDER to make the theme in");
    const std::string given = args.positional.front();
    const fs::path folder = nativePath(fromUtf8(given));
    std::error_code ec;
    if (fs::exists(folder, ec) || fs::is_symlink(folder, ec)) {
        std::fprintf(stderr, "velmora-tool: %s exists already; new writes only into a folder it makes\n", given.c_str());
        return 1;
    }
    fs::path absolute = fs::absolute(folder, ec).lexically_normal();
    if (!absolute.has_filename()) absolute = absolute.parent_path();
    const std::string name = absolute.filename().string();
    if (!fs::create_directories(folder, ec) || ec) {
        std::fprintf(stderr, "velmora-tool: cannot make the folder %s: %s\n", given.c_str(), ec.message().c_str());
        return 1;
    }
    struct Picture {
        const char* file;
        Canvas canvas;
    };
    const std::vector<Picture> pictures = {
        {"sky.png", sky()},          {"floor.png", floorPicture()}, {"ceiling.png", ceiling()}, {"tint.png", tint()},
        {"hill_1_1.png", hill()},    {"dot_1_1.png", dot(0)},       {"dot_1_2.png", dot(1)},    {"walker_1.png", walker(0)},
        {"walker_2.png", walker(1)},
    };
    const std::string text = themeText(name);
    bool ok = writeBytes(folder / "theme.txt", text.data(), text.size());
    for (const Picture& picture : pictures) {
        const std::vector<std::uint8_t> png = picture.canvas.png();
        ok = ok && writeBytes(folder / picture.file, png.data(), png.size());
    }
    if (!ok) {
        std::fprintf(stderr, "velmora-tool: cannot write the theme's files into %s\n", given.c_str());
        return 1;
    }
    std::printf("made the theme %s in %s: theme.txt and %zu pictures\n", name.c_str(), given.c_str(), pictures.size());
    std::printf("check it:  velmora-tool check %s\n", given.c_str());
    if (absolute.parent_path().filename() == "themes") {
        std::printf("play it:   velmora-tool play --root %s --theme %s --watch\n",
                    absolute.parent_path().parent_path().string().c_str(), name.c_str());
    } else {
        std::puts("to play it, move the folder into the folder themes of a program folder");
    }
    return 0;
}

}  // namespace velmora::tool
