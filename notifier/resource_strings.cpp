// Reads entries of the notifier's string table.
#include "notifier/resource_strings.hpp"

#include "notifier/notifier_state.hpp"
#include "notifier/string_table.hpp"
#include "support/diagnostic_text.hpp"

namespace notifier {

std::u16string load_resource_string(uint32_t id) {
    std::u16string entry = string_table_entry(id);
    if (entry.empty()) {
        trace("error loading resource, uid: [" + checker::to_string(id) + "]");
        return u"ERROR_LOAD_RESOURCE";
    }
    return entry;
}

}  // namespace notifier
