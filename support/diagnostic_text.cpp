// Decimal texts for diagnostic messages.
#include "diagnostic_text.hpp"

#include <cstdio>

namespace checker {

// std::to_string is locale-independent, which gives the classic-locale text without grouping.
std::string to_string(bool value) { return value ? "1" : "0"; }
std::string to_string(int32_t value) { return std::to_string(value); }
std::string to_string(uint32_t value) { return std::to_string(value); }
std::string to_string(int64_t value) { return std::to_string(value); }
std::string to_string(uint64_t value) { return std::to_string(value); }

std::string utc_time_text(uint64_t seconds) {
    // Days to the civil date of the proleptic Gregorian calendar (eras of 400 years).
    const int64_t days = static_cast<int64_t>(seconds / 86400) + 719468;
    const uint64_t second_of_day = seconds % 86400;
    const int64_t era = days / 146097;
    const int64_t day_of_era = days - era * 146097;
    const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t month_index = (5 * day_of_year + 2) / 153;
    const int64_t day = day_of_year - (153 * month_index + 2) / 5 + 1;
    const int64_t month = month_index < 10 ? month_index + 3 : month_index - 9;
    const int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    char text[64] = {};
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02llu:%02llu:%02lluZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day),
                  static_cast<unsigned long long>(second_of_day / 3600),
                  static_cast<unsigned long long>(second_of_day / 60 % 60),
                  static_cast<unsigned long long>(second_of_day % 60));
    return text;
}

void append_failure_line(std::string& collected, const std::string& text) {
    if (text.empty()) {
        return;
    }
    if (!collected.empty()) {
        collected += "\n";
    }
    collected += text;
}

}  // namespace checker
