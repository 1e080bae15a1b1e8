// Icons from the module's icon resources or made from bitmaps, and bitmaps loaded from files or made in memory.
#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include <sys/stat.h>

#include "notifier/standin/internal.hpp"

// Only a handle's identity and kind matter: the shell checks that it was given a live icon.
struct HICON__ {};
struct HBITMAP__ {};

namespace {
// The live icons and bitmaps, until DestroyIcon or DeleteObject.
std::vector<std::unique_ptr<HICON__>> icons;
std::vector<std::unique_ptr<HBITMAP__>> bitmaps;
constexpr off_t largest_bitmap_file = off_t{64} * 1024 * 1024;
template <typename Image>
Image* make(std::vector<std::unique_ptr<Image>>& images) {
    images.push_back(std::make_unique<Image>());
    return images.back().get();
}
template <typename Image>
bool is_one_of(const std::vector<std::unique_ptr<Image>>& images, const void* handle) {
    return std::any_of(images.begin(), images.end(), [handle](const auto& image) { return image.get() == handle; });
}
template <typename Image>
BOOL forget(std::vector<std::unique_ptr<Image>>& images, const void* handle) {
    const auto end = std::remove_if(images.begin(), images.end(), [handle](const auto& image) { return image.get() == handle; });
    SetLastError(end == images.end() ? ERROR_INVALID_HANDLE : ERROR_SUCCESS);
    images.erase(end, images.end());
    return GetLastError() == ERROR_SUCCESS;
}
HICON load_icon(HINSTANCE instance, LPCWSTR name) {
    if (!standin::is_resource_id(name) || !standin::module_has_icon(instance, LOWORD(name))) {
        return nullptr;
    }
    return make(icons);
}
uint32_t read_u32(const std::vector<uint8_t>& bytes, std::size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}
uint16_t read_u16(const std::vector<uint8_t>& bytes, std::size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
// A device-independent bitmap with an info header of 40 bytes or more, uncompressed or with bit
// fields, whose pixel rows are all in the file: what the notifier's icon.bmp is. Other kinds
// (OS/2 headers, run-length encoding) are refused.
bool is_whole_bitmap(const std::vector<uint8_t>& bytes) {
    constexpr std::size_t headers_size = 14 + 40;
    if (bytes.size() < headers_size || bytes[0] != 'B' || bytes[1] != 'M' || read_u32(bytes, 14) < 40) {
        return false;
    }
    const int64_t pixel_offset = read_u32(bytes, 10);
    const int64_t width = static_cast<int32_t>(read_u32(bytes, 18));
    const int64_t height = static_cast<int32_t>(read_u32(bytes, 22));
    const uint16_t planes = read_u16(bytes, 26);
    const uint16_t bits = read_u16(bytes, 28);
    const uint32_t compression = read_u32(bytes, 30);
    const bool known_bits = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    const bool known_compression = compression == 0 || (compression == 3 && (bits == 16 || bits == 32));
    if (planes != 1 || width <= 0 || height == 0 || !known_bits || !known_compression) {
        return false;
    }
    const int64_t row_bytes = (width * bits + 31) / 32 * 4;
    return pixel_offset + row_bytes * (height < 0 ? -height : height) <= static_cast<int64_t>(bytes.size());
}
// Reads a whole regular file; false with the last error set otherwise.
bool read_file(const std::string& path, std::vector<uint8_t>& bytes) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
        SetLastError(S_ISDIR(status.st_mode) ? ERROR_ACCESS_DENIED : standin::error_from_errno(errno));
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!S_ISREG(status.st_mode) || status.st_size > largest_bitmap_file || !file) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}
}  // namespace

namespace standin {
bool is_icon(const void* handle) {
    return is_one_of(icons, handle);
}
bool is_bitmap(const void* handle) {
    return is_one_of(bitmaps, handle);
}
}  // namespace standin

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    const HICON icon = load_icon(instance, name);
    if (icon == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    return icon;
}
// The stand-in's icons have no pixels, so the metric makes no difference.
HRESULT LoadIconMetric(HINSTANCE instance, PCWSTR name, int, HICON* icon) {
    if (icon == nullptr) {
        return E_INVALIDARG;
    }
    *icon = load_icon(instance, name);
    return *icon == nullptr ? HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND) : S_OK;
}
// Only what the notifier asks for: a bitmap file by path. The requested size makes no difference.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int, int, UINT load_flags) {
    if (type != IMAGE_BITMAP || (load_flags & LR_LOADFROMFILE) == 0 || instance != nullptr ||
        standin::is_resource_id(name)) {
        standin::report("LoadImageW supports only bitmap files (IMAGE_BITMAP, LR_LOADFROMFILE)");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::vector<uint8_t> bytes;
    if (!read_file(standin::to_utf8(name), bytes)) {
        return nullptr;
    }
    if (!is_whole_bitmap(bytes)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return make(bitmaps);
}
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bits_per_pixel, const void*) {
    if (width <= 0 || height <= 0 || planes != 1 || (bits_per_pixel != 1 && bits_per_pixel != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return make(bitmaps);
}
// An icon needs a mask; the colour bitmap may be left out (a monochrome icon).
HICON CreateIconIndirect(ICONINFO* parts) {
    if (parts == nullptr || !parts->fIcon || !standin::is_bitmap(parts->hbmMask) ||
        (parts->hbmColor != nullptr && !standin::is_bitmap(parts->hbmColor))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return make(icons);
}
BOOL DestroyIcon(HICON icon) {
    return forget(icons, icon);
}
BOOL DeleteObject(HGDIOBJ object) {
    return forget(bitmaps, object);
}
