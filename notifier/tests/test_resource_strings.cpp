// Unit tests of the notifier's string loader on the stand-in.
#include <string>

#include <gtest/gtest.h>

#include "notifier/notifier_state.hpp"
#include "notifier/resource_strings.hpp"

namespace {

const std::u16string long_entry(4200, u'y');
const standin::StringResource strings[] = {{146, u"10821201004"}, {300, long_entry.c_str()}};

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
    standin::install_module(strings, 2, {});
    notifier::notifier_state.tracer.set_enabled(true);
    EXPECT_EQ(notifier::load_resource_string(152), u"ERROR_LOAD_RESOURCE");
    EXPECT_EQ(last_event(), "error loading resource, uid: [152]");
    notifier::notifier_state.tracer.set_enabled(false);
}

TEST(ResourceStrings, EntriesComeBackWholeUpTo4095Characters) {
    standin::install_module(strings, 2, {});
    EXPECT_EQ(notifier::load_resource_string(146), u"10821201004");
    EXPECT_EQ(notifier::load_resource_string(300), long_entry.substr(0, 4095));
}
