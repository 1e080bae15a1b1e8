// Fuzz target: the texts a proxy choice reads (a script's answer, a per-scheme proxy list, a
// bypass list, a no-proxy list), all of them from outside the program. The input is a list, a
// line break, then a URL; each reader takes it and must keep its properties.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "checker/proxy_lists.hpp"
#include "checker/url_text.hpp"
#include "fuzz/fuzz_checks.hpp"

namespace {

std::string upper_case(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using fuzz::require;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string::size_type line_end = input.find('\n');
    const std::string list = input.substr(0, line_end);
    const std::string url = line_end == std::string::npos ? "https://dm.example.com/" : input.substr(line_end + 1);
    const std::string host = checker::url_host(url);

    for (const std::string& proxy : checker::https_proxies_from_list(list)) {
        require(proxy.find_first_of("; \t\r\n") == std::string::npos, "a proxy entry holds no separator", proxy);
    }

    const std::string question = checker::script_question_url(url);
    const std::string::size_type authority = question.find("://") + 3;
    require(question.back() == '/' && question.find_first_of("/?#@", authority) == question.size() - 1,
            "a script learns no path, query, fragment or user info", question);

    // Case does not matter, and another entry never takes a match away.
    const bool no_proxy = checker::no_proxy_list_matches(list, host);
    require(no_proxy == checker::no_proxy_list_matches(upper_case(list), host), "no-proxy lists ignore case", list);
    if (list != "*") {
        require(!no_proxy || checker::no_proxy_list_matches(list + ",other.invalid", host),
                "a no-proxy entry adds matches only", list);
    }
    const bool bypass = checker::bypass_list_matches(list, url);
    require(bypass == checker::bypass_list_matches(upper_case(list), url), "bypass lists ignore case", list);
    require(!bypass || checker::bypass_list_matches(list + ";other.invalid", url), "a bypass entry adds matches only",
            list);
    return 0;
}
