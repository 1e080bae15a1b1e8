// Icons from the module's icon resources and bitmaps loaded from files (LoadIconW, LoadIconMetric, LoadImageW).
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "notifier/standin/internal.hpp"

struct HICON__ {
    UINT resource_id;
    int size;
};

struct HBITMAP__ {
    int width;
    int height;
    int bits_per_pixel;
};

namespace {

// Icons and bitmaps live until the process ends, as the notifier never releases them.
std::vector<std::unique_ptr<HICON__>> icons;
std::vector<std::unique_ptr<HBITMAP__>> bitmaps;

constexpr int small_icon_size = 16;
constexpr int standard_icon_size = 32;
constexpr off_t largest_bitmap_file = off_t{64} * 1024 * 1024;

HICON make_icon(UINT resource_id, int size) {
    icons.push_back(std::make_unique<HICON__>(HICON__{resource_id, size}));
    return icons.back().get();
}

uint32_t read_u32(const std::vector<uint8_t>& bytes, std::size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

uint16_t read_u16(const std::vector<uint8_t>& bytes, std::size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Checks the file and info headers of a BMP file and that the pixel rows are all there.
bool parse_bitmap(const std::vector<uint8_t>& bytes, HBITMAP__& bitmap) {
    constexpr std::size_t file_header_size = 14;
    if (bytes.size() < file_header_size + 12 || bytes[0] != 'B' || bytes[1] != 'M') {
        return false;
    }
    const uint32_t pixel_offset = read_u32(bytes, 10);
    const uint32_t info_size = read_u32(bytes, 14);
    int64_t width = 0;
    int64_t height = 0;
    uint16_t planes = 0;
    uint16_t bits = 0;
    uint32_t compression = 0;
    if (info_size == 12) {
        width = read_u16(bytes, 18);
        height = read_u16(bytes, 20);
        planes = read_u16(bytes, 22);
        bits = read_u16(bytes, 24);
    } else if (info_size == 40 || info_size == 52 || info_size == 56 || info_size == 108 || info_size == 124) {
        if (bytes.size() < file_header_size + info_size) {
            return false;
        }
        width = static_cast<int32_t>(read_u32(bytes, 18));
        height = static_cast<int32_t>(read_u32(bytes, 22));
        planes = read_u16(bytes, 26);
        bits = read_u16(bytes, 28);
        compression = read_u32(bytes, 30);
    } else {
        return false;
    }
    const bool known_bits = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    const bool known_compression = compression == 0 || (compression == 1 && bits == 8) ||
                                   (compression == 2 && bits == 4) || (compression == 3 && (bits == 16 || bits == 32));
    if (planes != 1 || width <= 0 || height == 0 || !known_bits || !known_compression) {
        return false;
    }
    const int64_t rows = height < 0 ? -height : height;
    if (compression == 0 || compression == 3) {
        const int64_t row_bytes = (width * bits + 31) / 32 * 4;
        if (static_cast<int64_t>(pixel_offset) + row_bytes * rows > static_cast<int64_t>(bytes.size())) {
            return false;
        }
    } else if (pixel_offset >= bytes.size()) {
        return false;
    }
    bitmap = HBITMAP__{static_cast<int>(width), static_cast<int>(rows), bits};
    return true;
}

HANDLE load_bitmap_file(const std::string& path, int cx, int cy) {
    standin::FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        SetLastError(standin::error_from_errno(errno));
        return nullptr;
    }
    struct stat status {};
    if (fstat(file.get(), &status) != 0) {
        SetLastError(standin::error_from_errno(errno));
        return nullptr;
    }
    if (S_ISDIR(status.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (!S_ISREG(status.st_mode) || status.st_size > largest_bitmap_file) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(status.st_size));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            SetLastError(count < 0 ? standin::error_from_errno(errno) : ERROR_INVALID_DATA);
            return nullptr;
        }
        filled += static_cast<std::size_t>(count);
    }
    HBITMAP__ bitmap{};
    if (!parse_bitmap(bytes, bitmap)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    // A requested size stretches the picture, as LoadImageW does.
    if (cx > 0) {
        bitmap.width = cx;
    }
    if (cy > 0) {
        bitmap.height = cy;
    }
    bitmaps.push_back(std::make_unique<HBITMAP__>(bitmap));
    return bitmaps.back().get();
}

}  // namespace

namespace standin {

FileDescriptor::~FileDescriptor() {
    if (descriptor_ >= 0) {
        const int saved = errno;
        close(descriptor_);
        errno = saved;
    }
}

DWORD error_from_errno(int error_number) {
    switch (error_number) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    default: return ERROR_INVALID_DATA;
    }
}

bool is_icon(const void* handle) {
    for (const auto& icon : icons) {
        if (icon.get() == handle) {
            return true;
        }
    }
    return false;
}

bool is_bitmap(const void* handle) {
    for (const auto& bitmap : bitmaps) {
        if (bitmap.get() == handle) {
            return true;
        }
    }
    return false;
}

}  // namespace standin

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    if (!IS_INTRESOURCE(name) || !standin::module_has_icon(instance, LOWORD(name))) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return make_icon(LOWORD(name), standard_icon_size);
}

HRESULT LoadIconMetric(HINSTANCE instance, PCWSTR name, int metric, HICON* icon) {
    if (icon == nullptr || (metric != LIM_SMALL && metric != LIM_LARGE)) {
        return E_INVALIDARG;
    }
    *icon = nullptr;
    if (!IS_INTRESOURCE(name) || !standin::module_has_icon(instance, LOWORD(name))) {
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    *icon = make_icon(LOWORD(name), metric == LIM_SMALL ? small_icon_size : standard_icon_size);
    return S_OK;
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT load_flags) {
    // Only what the notifier asks for: a bitmap file by path.
    if (type != IMAGE_BITMAP || (load_flags & LR_LOADFROMFILE) == 0 || instance != nullptr || name == nullptr ||
        IS_INTRESOURCE(name)) {
        standin::report("LoadImageW supports only bitmap files (IMAGE_BITMAP, LR_LOADFROMFILE)");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return load_bitmap_file(standin::to_utf8(name), cx, cy);
}
