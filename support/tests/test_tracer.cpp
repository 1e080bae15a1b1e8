// Tests of the event tracer and the timestamp.
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/tracer.hpp"
#include "test_helpers.hpp"

using namespace checker;

TEST(Tracer, RecordsNothingWhenOff) {
    Tracer tracer;
    tracer.add("EVENT_PID 1");
    EXPECT_EQ(0u, tracer.counter());
    EXPECT_EQ(0u, json_object_size(tracer.events().get()));
}

TEST(Tracer, KeysCountUpInRecordingOrderAndFileHasOneEventPerLine) {
    Tracer tracer(true);
    tracer.add("EVENT_PID 42");
    tracer.add("two\nlines");
    tracer.add("ERROR: x");
    std::vector<std::string> keys;
    const char* key = nullptr;
    json_t* value = nullptr;
    json_object_foreach(tracer.events().get(), key, value) { keys.push_back(key); }
    ASSERT_EQ(3u, keys.size());
    for (std::size_t index = 0; index < keys.size(); ++index) {
        EXPECT_TRUE(std::regex_match(keys[index], std::regex(R"(\d{4}-\d{2}-\d{2}_\d{2}:\d{2}:\d{2}_)" +
                                                             std::to_string(index + 1))))
            << keys[index];
    }
    support_test::TemporaryFolder folder;
    dump_json_to_file(tracer.events(), folder.path("trace.json"));
    const std::string text = support_test::read_raw(folder.path("trace.json"));
    EXPECT_NE(std::string::npos, text.find("_2\": \"two\\nlines\",\r\n"));
    EXPECT_LT(text.find("_1\""), text.find("_2\""));
    EXPECT_LT(text.find("_2\""), text.find("_3\""));
}
