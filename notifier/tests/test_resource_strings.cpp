// Unit tests of the notifier's string loader over the program's own table.
#include <string>

#include <gtest/gtest.h>

#include "notifier/notifier_state.hpp"
#include "notifier/resource_strings.hpp"

namespace {

std::string last_event() {
    const char* key = nullptr;
    json_t* value = nullptr;
    std::string text;
    json_object_foreach(notifier::notifier_state.tracer.events().get(), key, value) {
        text = json_string_value(value);
    }
    return text;
}

}  // namespace

TEST(ResourceStrings, MissingEntryIsTracedAndGivesThePlaceholder) {
    notifier::notifier_state.tracer.set_enabled(true);
    EXPECT_EQ(notifier::load_resource_string(199), u"ERROR_LOAD_RESOURCE");
    EXPECT_EQ(last_event(), "error loading resource, uid: [199]");
    notifier::notifier_state.tracer.set_enabled(false);
}

TEST(ResourceStrings, EntriesComeBackWhole) {
    EXPECT_EQ(notifier::load_resource_string(notifier::string_download_address),
              u"https://quorvane.example/openjdk/download");
    EXPECT_EQ(notifier::load_resource_string(notifier::string_mutex_name), u"7824d8b0-c6d6-47f9-aa39-4498e8e4f498");
}
