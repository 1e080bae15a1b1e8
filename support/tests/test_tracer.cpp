// Tests of the event tracer and the timestamp.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/tracer.hpp"
#include "test_helpers.hpp"

using namespace checker;

namespace {

// Whether key is a "%Y-%m-%d_%H:%M:%S" timestamp, "_" and the given number.
bool is_event_key(const std::string& key, std::size_t number) {
    const std::string pattern = "dddd-dd-dd_dd:dd:dd_";
    for (std::size_t index = 0; index < pattern.size(); ++index) {
        const bool digit = index < key.size() && std::isdigit(static_cast<unsigned char>(key[index]));
        if (index >= key.size() || (pattern[index] == 'd' ? !digit : key[index] != pattern[index])) {
            return false;
        }
    }
    return key.substr(pattern.size()) == std::to_string(number);
}

}  // namespace

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
        EXPECT_TRUE(is_event_key(keys[index], index + 1)) << keys[index];
    }
    support_test::TemporaryFolder folder;
    dump_json_to_file(tracer.events(), folder.path("trace.json"));
    const std::string text = support_test::read_raw(folder.path("trace.json"));
    EXPECT_NE(std::string::npos, text.find("_2\": \"two\\nlines\",\r\n"));
    EXPECT_LT(text.find("_1\""), text.find("_2\""));
    EXPECT_LT(text.find("_2\""), text.find("_3\""));
}

// A run that records without end keeps its first events and its last ones, with one event that
// counts those left out between them; the keys still count up.
TEST(Tracer, KeepsTheFirstAndTheLastEventsOfALongRun) {
    Tracer tracer(true);
    const uint32_t total = Tracer::recorded_limit + 5000;
    for (uint32_t number = 1; number <= total; ++number) {
        tracer.add("event " + std::to_string(number));
    }
    std::vector<std::string> texts;
    std::vector<uint32_t> numbers;
    const char* key = nullptr;
    json_t* value = nullptr;
    json_object_foreach(tracer.events().get(), key, value) {
        texts.emplace_back(json_string_value(value));
        numbers.push_back(static_cast<uint32_t>(std::stoul(std::string(key).substr(20))));
    }
    const std::size_t kept = Tracer::recorded_limit + 1 + Tracer::kept_last_limit;
    ASSERT_EQ(texts.size(), kept);
    EXPECT_EQ(texts[Tracer::recorded_limit - 1], "event " + std::to_string(Tracer::recorded_limit));
    EXPECT_EQ(texts[Tracer::recorded_limit], "trace events left out: [4900], limit: [10000]");
    EXPECT_EQ(texts.back(), "event " + std::to_string(total));
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    EXPECT_EQ(tracer.counter(), total);
}
