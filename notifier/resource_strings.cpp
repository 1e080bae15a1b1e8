// Reads entries of the notifier's string table.
#include "notifier/resource_strings.hpp"

#include "notifier/notifier_state.hpp"
#include "support/diagnostic_text.hpp"

namespace notifier {
namespace {

// Texts longer than this less one character come back cut.
constexpr int string_buffer_capacity = 4096;

}  // namespace

std::u16string load_resource_string(uint32_t id) {
    std::u16string buffer(string_buffer_capacity, u'\0');
    const int count = LoadStringW(notifier_state.instance_handle, id, wide(&buffer[0]), string_buffer_capacity);
    if (count <= 0) {
        trace("error loading resource, uid: [" + checker::to_string(id) + "]");
        return u"ERROR_LOAD_RESOURCE";
    }
    buffer.resize(static_cast<std::size_t>(count));
    return buffer;
}

}  // namespace notifier
