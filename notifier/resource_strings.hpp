// The ids of the notifier's string table and the loader that reads it.
#pragma once

#include <cstdint>
#include <string>

namespace notifier {

constexpr uint32_t string_tooltip = 141;
constexpr uint32_t string_balloon_title = 142;
constexpr uint32_t string_dialog_title = 143;
constexpr uint32_t string_expand_label = 144;
constexpr uint32_t string_download_address = 145;
constexpr uint32_t string_shipped_version = 146;
constexpr uint32_t string_vendor_folder = 147;
constexpr uint32_t string_package_folder = 148;
constexpr uint32_t string_mutex_name = 149;
constexpr uint32_t string_error_title = 150;
constexpr uint32_t string_error_text = 151;
constexpr uint32_t string_remind_label = 152;
constexpr uint32_t string_skip_label = 153;

// String `id` of the program's module, cut to 4095 characters; "ERROR_LOAD_RESOURCE" (traced)
// when it is missing or empty.
std::u16string load_resource_string(uint32_t id);

}  // namespace notifier
