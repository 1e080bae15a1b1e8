// The balloon's own picture: icon.bmp made into an icon with CreateIconIndirect.
#include "notifier/balloon_picture.hpp"

#include <cstdint>

#include "support/diagnostic_text.hpp"

namespace notifier {
namespace {

using OwnedBitmap = checker::ScopedResource<checker::BitmapHandle>;

// One bit per pixel, rows padded to 16 bits; all zero: every pixel of the colour bitmap is drawn
// (a 32-bit picture's alpha channel decides where it shows).
const uint8_t opaque_mask[balloon_picture_size * balloon_picture_size / 8] = {};

}  // namespace

OwnedIcon load_balloon_picture(const std::u16string& bitmap_path, std::string& failed_call) {
    const OwnedBitmap colour(static_cast<HBITMAP>(LoadImageW(nullptr, reinterpret_cast<const WCHAR*>(bitmap_path.c_str()), IMAGE_BITMAP,
                                                              balloon_picture_size, balloon_picture_size,
                                                              LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (!colour.valid()) {
        failed_call = "LoadImageW";
        return OwnedIcon();
    }
    const OwnedBitmap mask(CreateBitmap(balloon_picture_size, balloon_picture_size, 1, 1, opaque_mask));
    if (!mask.valid()) {
        failed_call = "CreateBitmap";
        return OwnedIcon();
    }
    // The icon gets its own copies of both bitmaps; ours are deleted on return.
    ICONINFO parts{};
    parts.fIcon = TRUE;
    parts.hbmMask = mask.get();
    parts.hbmColor = colour.get();
    OwnedIcon icon(CreateIconIndirect(&parts));
    if (!icon.valid()) {
        failed_call = "CreateIconIndirect";
    }
    return icon;
}

std::string describe_picture(const OwnedIcon& icon) {
    ICONINFO parts{};
    if (!icon.valid() || !GetIconInfo(icon.get(), &parts)) {
        return "none";
    }
    // GetIconInfo hands out copies of both bitmaps.
    const OwnedBitmap colour(parts.hbmColor);
    const OwnedBitmap mask(parts.hbmMask);
    BITMAP shape{};
    if (GetObjectW(colour.get(), sizeof(shape), &shape) == 0) {
        return "unreadable";
    }
    return checker::to_string(static_cast<int32_t>(shape.bmWidth)) + " x " +
           checker::to_string(static_cast<int32_t>(shape.bmHeight)) + ", " +
           checker::to_string(static_cast<uint32_t>(shape.bmBitsPixel)) + " bits";
}

}  // namespace notifier
