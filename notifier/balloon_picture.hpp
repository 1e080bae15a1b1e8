// The balloon's own picture on Windows: icon.bmp turned into a 128 x 128 icon, as the shell draws only icons there.
#pragma once

#include <string>

#include "support/scoped_resource.hpp"
#include "support/windows_handles.hpp"

namespace notifier {

using OwnedIcon = checker::ScopedResource<checker::IconHandle>;

constexpr int balloon_picture_size = 128;

// Loads the bitmap file as it is stored (a 32-bit one keeps its alpha channel) and makes an icon
// of it with an all-opaque mask. On failure the owner is
// empty, failed_call names the call that failed and the last error is its code.
OwnedIcon load_balloon_picture(const std::u16string& bitmap_path, std::string& failed_call);

// The icon's colour picture as "128 x 128, 32 bits", for the trace.
std::string describe_picture(const OwnedIcon& icon);

}  // namespace notifier
