// Properties that every configuration record holds, whatever config.json contained.
#include "fuzz/config_properties.hpp"

#include <cstdint>

#include "fuzz/fuzz_checks.hpp"

namespace fuzz {
namespace {

void check_file_name(const std::string& name, const std::string& executable_directory) {
    require(name.empty() || checker::is_absolute_file_name(name) || has_prefix(name, executable_directory),
            "a file name is empty, absolute or below the executable directory", name);
}

}  // namespace

void check_config_properties(const checker::CheckerConfig& config, const std::string& executable_directory) {
    // 4294967295 is never accepted from the document and no default has it.
    const uint32_t numbers[] = {
        config.max_json_size_bytes,
        config.max_path_length,
        config.curl_max_connects,
        config.curl_max_bufsize_bytes,
        config.curl_fdset_timeout_millis,
        config.curl_connecttimeout_millis,
        config.curl_buffersize_bytes,
        config.curl_maxredirs,
        config.curl_max_sent_speed_large_bytes_per_second,
        config.curl_max_recv_speed_large_bytes_per_second,
    };
    for (const uint32_t number : numbers) {
        require(number != UINT32_MAX, "no configured number is 4294967295");
    }
    check_file_name(config.curl_sslcert_filename, executable_directory);
    check_file_name(config.curl_sslkey_filename, executable_directory);
    check_file_name(config.curl_cainfo_filename, executable_directory);
    check_file_name(config.curl_crlfile_filename, executable_directory);
}

}  // namespace fuzz
