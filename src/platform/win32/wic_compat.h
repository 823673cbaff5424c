#pragma once
// Windows Imaging Component names that Debian's MinGW-w64 headers do not declare. Everything the
// headers lack is defined here and nowhere else.
#include <wincodec.h>

namespace velmora::win32 {

// WICBitmapInterpolationModeHighQualityCubic (Windows 10); older headers stop at Fant (3).
inline constexpr WICBitmapInterpolationMode kWicInterpolationHighQualityCubic = static_cast<WICBitmapInterpolationMode>(4);

// CLSID_WICImagingFactory2 {317D06E8-5F24-433D-BDF7-79CE68D8ABC2}. The headers declare it, but a
// local definition spares the link against the GUID libraries and keeps the value in sight.
inline constexpr CLSID kClsidWicImagingFactory2 = {0x317d06e8, 0x5f24, 0x433d, {0xbd, 0xf7, 0x79, 0xce, 0x68, 0xd8, 0xab, 0xc2}};

}  // namespace velmora::win32
