// Checks of the Windows platform layer, run under Wine (or Windows) as a console program:
// picture decoding through WIC, the off-screen Direct2D device and its PNG output, and the
// shell and window calls whose results the core relies on. Prints each failure and exits with
// the number of failed checks (0 when all pass).
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "com_ptr.h"
#include "direct2d_graphics_device.h"
#include "win32_shell.h"
#include "win32_window_system.h"
#include "support/png_file.h"

namespace {

using velmora::testing::claimPngSize;
using velmora::testing::pngBytes;
using velmora::win32::ComPtr;

int failures = 0;

void check(bool condition, const char* what) {
    if (!condition) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

std::u16string toU16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

// Straight BGRA pixels of a picture file, decoded with WIC directly.
std::vector<std::uint8_t> readPixels(const std::wstring& path, UINT& width, UINT& height) {
    std::vector<std::uint8_t> pixels;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.put()))))
        return pixels;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad, decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) || FAILED(frame->GetSize(&width, &height)) ||
        FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return pixels;
    pixels.resize(static_cast<std::size_t>(width) * height * 4);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data()))) pixels.clear();
    return pixels;
}

bool pixelIs(const std::vector<std::uint8_t>& pixels, UINT width, UINT x, UINT y, std::uint8_t b, std::uint8_t g, std::uint8_t r,
             std::uint8_t a) {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
    if (at + 4 > pixels.size()) return false;
    return pixels[at] == b && pixels[at + 1] == g && pixels[at + 2] == r && pixels[at + 3] == a;
}

void checkPictures(const std::wstring& folder) {
    velmora::win32::Direct2DGraphicsDevice device;
    const std::vector<std::uint8_t> garbage = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    check(device.loadPictureBytes(garbage.data(), garbage.size()) == nullptr, "no picture before there is a target");
    check(!device.createOffscreenTarget(0, 4), "an empty off-screen target is refused");
    check(device.createOffscreenTarget(8, 6), "off-screen target of 8 by 6");

    check(device.loadPictureBytes(garbage.data(), garbage.size()) == nullptr, "garbage bytes give no picture");
    check(device.loadPictureBytes(nullptr, 0) == nullptr, "no bytes give no picture");
    check(device.loadPictureFile(toU16(folder + L"\\missing.png")) == nullptr, "a missing file gives no picture");

    // 3 by 2: opaque blue, green, white / transparent, half-transparent red, opaque black.
    const std::vector<std::uint8_t> png =
        pngBytes(3, 2, {0xFF0000FFu, 0xFF00FF00u, 0xFFFFFFFFu, 0x00000000u, 0x80FF0000u, 0xFF000000u});
    auto picture = device.loadPictureBytes(png.data(), png.size());
    check(picture != nullptr && picture->pixelWidth() == 3 && picture->pixelHeight() == 2, "a PNG in memory decodes at its size");

    const std::vector<std::uint8_t> truncated(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2));
    check(device.loadPictureBytes(truncated.data(), truncated.size()) == nullptr, "a truncated PNG gives no picture");
    std::vector<std::uint8_t> huge = png;
    claimPngSize(huge, 20000, 2);
    check(device.loadPictureBytes(huge.data(), huge.size()) == nullptr, "a PNG wider than the limit gives no picture");

    const std::wstring pngPath = folder + L"\\velmora_check_in.png";
    if (FILE* file = _wfopen(pngPath.c_str(), L"wb")) {
        std::fwrite(png.data(), 1, png.size(), file);
        std::fclose(file);
    }
    auto fromFile = device.loadPictureFile(toU16(pngPath));
    check(fromFile != nullptr && fromFile->pixelWidth() == 3 && fromFile->pixelHeight() == 2, "a PNG file decodes at its size");

    check(!device.writeFramePng(toU16(folder + L"\\velmora_check_early.png")), "no PNG before a frame is finished");

    if (picture == nullptr) return;
    device.beginDraw();
    device.setTransform(velmora::Matrix3x2::identity());
    device.clear(velmora::ColorF{1.0f, 0.0f, 0.0f, 1.0f});
    device.drawBitmap(*picture, velmora::RectF{2.0f, 1.0f, 5.0f, 3.0f}, 1.0f, velmora::Interpolation::NearestNeighbor);
    // Mirrored about x = 7: the picture lands at 5..8 on the right, its columns reversed.
    device.setTransform(velmora::Matrix3x2{-1.0f, 0.0f, 0.0f, 1.0f, 13.0f, 0.0f});
    device.drawBitmap(*picture, velmora::RectF{5.0f, 3.0f, 8.0f, 5.0f}, 1.0f, velmora::Interpolation::NearestNeighbor);
    check(device.endDraw(), "the frame ends and is fetched");
    const std::wstring outPath = folder + L"\\velmora_check_out.png";
    check(device.writeFramePng(toU16(outPath)), "the frame is written as PNG");
    check(!device.writeFramePng(toU16(folder + L"\\no_such_folder\\x.png")), "writing into a missing folder fails");

    UINT width = 0;
    UINT height = 0;
    const std::vector<std::uint8_t> pixels = readPixels(outPath, width, height);
    check(width == 8 && height == 6 && !pixels.empty(), "the PNG holds the whole frame");
    check(pixelIs(pixels, width, 0, 0, 0, 0, 255, 255), "cleared to red");
    check(pixelIs(pixels, width, 2, 1, 255, 0, 0, 255), "blue pixel at its place");
    check(pixelIs(pixels, width, 3, 1, 0, 255, 0, 255), "green pixel at its place");
    check(pixelIs(pixels, width, 2, 2, 0, 0, 255, 255), "transparent pixel leaves the red");
    check(pixelIs(pixels, width, 4, 2, 0, 0, 0, 255), "black pixel at its place");
    // Half-transparent red over red stays red.
    check(pixelIs(pixels, width, 3, 2, 0, 0, 255, 255), "half-transparent red over red");
    // Mirrored copy: columns 5..7 hold white, green, blue.
    check(pixelIs(pixels, width, 5, 3, 255, 255, 255, 255) && pixelIs(pixels, width, 7, 3, 255, 0, 0, 255), "mirrored picture");

    DeleteFileW(pngPath.c_str());
    DeleteFileW(outPath.c_str());
}

void checkShellAndWindows(const std::wstring& folder) {
    velmora::win32::Win32Shell shell;
    const std::u16string path = shell.programPath();
    check(path.size() > 4 && path.substr(path.size() - 4) == u".exe", "the program path names the program file");
    check(shell.findFiles(toU16(folder + L"\\no_such_folder\\*.zip")).empty(), "no entries in a missing folder");
    const std::wstring marker = folder + L"\\velmora_check_entry.zip";
    if (FILE* file = _wfopen(marker.c_str(), L"wb")) std::fclose(file);
    const auto found = shell.findFiles(toU16(folder + L"\\velmora_check_entry.*"));
    check(found.size() == 1 && found[0] == u"velmora_check_entry.zip", "the directory search returns entry names");
    DeleteFileW(marker.c_str());

    velmora::win32::Win32WindowSystem windows;
    const velmora::RectI none = windows.getWindowRect(0);
    check(none.left == 0 && none.top == 0 && none.right == 0 && none.bottom == 0, "an unknown window has an empty rectangle");
    int visited = 0;
    windows.enumWindows([&](velmora::WindowHandle) { return ++visited < 1; });
    check(visited <= 1, "the enumeration stops when asked");
}

// The calls with which the program follows a changing desktop: its own layered child window put
// between two siblings, the shell's messages, and the frame-pacing requests.
void checkDesktopCalls() {
    velmora::win32::Win32WindowSystem windows;
    velmora::win32::Win32Shell shell;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VelmoraCheckDesktop";
    RegisterClassExW(&windowClass);
    HWND parent = CreateWindowExW(0, L"VelmoraCheckDesktop", L"", WS_POPUP, 0, 0, 320, 200, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    HWND icons = CreateWindowExW(0, L"VelmoraCheckDesktop", L"", WS_CHILD, 0, 0, 320, 200, parent, nullptr,
                                 windowClass.hInstance, nullptr);
    HWND wallpaper = CreateWindowExW(0, L"VelmoraCheckDesktop", L"", WS_CHILD, 0, 0, 320, 200, parent, nullptr,
                                     windowClass.hInstance, nullptr);
    SetWindowPos(wallpaper, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const auto handle = [](HWND window) { return reinterpret_cast<velmora::WindowHandle>(window); };
    check(parent != nullptr && windows.windowAbove(handle(wallpaper)) == handle(icons), "the sibling above a window");

    const velmora::RectI client = windows.getClientRect(handle(parent));
    check(client.left == 0 && client.top == 0 && client.right == 320 && client.bottom == 200, "the client rectangle");
    const velmora::WindowHandle own = windows.createLayeredChildWindow(u"VelmoraCheckScene", handle(parent), client);
    HWND ownWindow = reinterpret_cast<HWND>(own);
    check(own != 0 && GetAncestor(ownWindow, GA_PARENT) == parent, "the own window is a child of the given parent");
    check((GetWindowLongW(ownWindow, GWL_STYLE) & WS_CHILD) != 0 && (GetWindowLongW(ownWindow, GWL_EXSTYLE) & WS_EX_LAYERED) != 0,
          "the own window is a layered child");
    BYTE alpha = 0;
    DWORD layeredFlags = 0;
    check(GetLayeredWindowAttributes(ownWindow, nullptr, &alpha, &layeredFlags) && alpha == 255 && layeredFlags == LWA_ALPHA,
          "the own window is opaque");
    windows.setWindowPos(own, handle(icons), client);
    check(GetWindow(icons, GW_HWNDNEXT) == ownWindow && GetWindow(ownWindow, GW_HWNDNEXT) == wallpaper &&
              (GetWindowLongW(ownWindow, GWL_STYLE) & WS_VISIBLE) != 0,
          "the own window lies between the two siblings, shown");
    check(windows.sendMessageTimeout(own, WM_NULL, 0, 0, 1000), "a timed message to a window that answers");
    windows.destroyWindow(own);
    check(!windows.isWindow(own) && windows.isWindow(handle(parent)), "the own window is destroyed, its parent stays");
    check(!windows.sendMessageTimeout(own, WM_NULL, 0, 0, 1000), "a timed message to a window that is gone fails");
    check(windows.registerWindowMessage(u"TaskbarCreated") == RegisterWindowMessageW(L"TaskbarCreated"),
          "TaskbarCreated has the system's number");
    DestroyWindow(parent);

    // Where the system lacks these, the program goes on: they must simply not fail loudly.
    shell.ignoreTimerResolutionThrottling();
    if (shell.beginTimerPeriod(1)) shell.endTimerPeriod(1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::wstring folder = L".";
    if (argc > 1) folder = argv[1];
    checkPictures(folder);
    checkShellAndWindows(folder);
    checkDesktopCalls();
    if (failures == 0) std::printf("all platform checks passed\n");
    return failures;
}
