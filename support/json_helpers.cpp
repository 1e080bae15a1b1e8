// Owned jansson values, typed getters and validating setters, and JSON documents in files.
#include "json_helpers.hpp"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <random>
#include <utility>

#include "checker_exception.hpp"
#include "diagnostic_text.hpp"
#include "file_access.hpp"
#include "file_system.hpp"
#include "process.hpp"
#include "system_error.hpp"

namespace checker {

JsonHandle::JsonHandle(json_t* owned_value) : value_(owned_value) {
    if (!value_.valid()) {
        throw CheckerException("Cannot create empty JSON object");
    }
}

JsonHandle make_empty_object() { return JsonHandle(json_object()); }

JsonHandle adopt_json(json_t* parsed_value) {
    json_t* value = loaded_json_hook(parsed_value);
    if (value == nullptr) {
        throw CheckerException("Invalid 'null' JSON specified");
    }
    if (!json_is_object(value)) {
        json_decref(value);
        throw CheckerException("Invalid 'non-object' JSON specified");
    }
    return JsonHandle(value);
}

void set_string_field(const JsonHandle& handle, const std::string& key, const std::string& value) {
    json_t* string = json_stringn(value.data(), value.size());
    if (string == nullptr) {
        throw CheckerException("Cannot create JSON string, field: [" + key + "], value: [" + value + "]");
    }
    // json_object_set_new takes the string's reference also when it fails.
    if (json_object_setn_new(handle.get(), key.data(), key.size(), string) != 0) {
        throw CheckerException("Cannot set JSON string, field: [" + key + "], value: [" + value + "]");
    }
}

void set_integer_field(const JsonHandle& handle, const std::string& key, uint64_t value) {
    json_t* integer = json_integer(static_cast<json_int_t>(value));
    if (integer == nullptr) {
        throw CheckerException("Cannot create JSON integer, field: [" + key + "], value: [" + to_string(value) + "]");
    }
    if (json_object_setn_new(handle.get(), key.data(), key.size(), integer) != 0) {
        throw CheckerException("Cannot set JSON integer, field: [" + key + "], value: [" + to_string(value) + "]");
    }
}

namespace {

// The member of that key, or null for a missing member or a value that is not an object.
json_t* member(const json_t* object, const std::string& key) {
    return json_is_object(object) ? json_object_getn(object, key.data(), key.size()) : nullptr;
}

}  // namespace

const char* get_string_field(const json_t* object, const std::string& key, const std::string& default_value) {
    return get_string_field(object, key, default_value.c_str());
}

const char* get_string_field(const json_t* object, const std::string& key, const char* default_value) {
    const json_t* value = member(object, key);
    return json_is_string(value) ? json_string_value(value) : default_value;
}

uint32_t get_uint32_field(const json_t* object, const std::string& key, uint32_t default_value) {
    const json_t* value = member(object, key);
    if (!json_is_integer(value)) {
        return default_value;
    }
    const json_int_t number = json_integer_value(value);
    return number >= 0 && number < 4294967295LL ? static_cast<uint32_t>(number) : default_value;
}

uint64_t get_uint64_field(const json_t* object, const std::string& key, uint64_t default_value) {
    const json_t* value = member(object, key);
    if (!json_is_integer(value)) {
        return default_value;
    }
    const json_int_t number = json_integer_value(value);
    return number >= 0 ? static_cast<uint64_t>(number) : default_value;
}

bool get_bool_field(const json_t* object, const std::string& key, bool default_value) {
    const json_t* value = member(object, key);
    return json_is_boolean(value) ? json_is_true(value) : default_value;
}

namespace {

// Removes the temporary file of a dump unless it has been moved into place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!committed_) {
            delete_file(path_);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }
    void commit() { committed_ = true; }

private:
    std::string path_;
    bool committed_ = false;
};

// A random suffix; the exclusive creation below is what guarantees a fresh file.
uint64_t random_suffix() {
    uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device device;
        seed ^= (static_cast<uint64_t>(device()) << 32) ^ device();
    } catch (...) {
        // The clock alone still gives distinct names in practice.
    }
    return seed;
}

std::string hex_text(uint64_t value) {
    char buffer[17] = {};
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(value));
    return buffer;
}

// Creates a new file beside path under a name that no other run can be using:
// path + "." + process id + "." + counter + "." + random + ".tmp", created exclusively.
std::FILE* create_temporary_beside(const std::string& path, std::string& temporary_path) {
    static std::atomic<uint32_t> counter{0};
    constexpr int attempts = 16;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        temporary_path = path + "." + to_string(current_process_id()) + "." + to_string(++counter) + "." +
                         hex_text(random_suffix()) + ".tmp";
        std::FILE* file = platform::create_new_text_stream(temporary_path);
        if (file != nullptr || !platform::is_already_exists_error(last_system_error())) {
            return file;
        }
    }
    return nullptr;
}

// A dump that is this old cannot still be running; its temporary file was abandoned.
constexpr int64_t abandoned_temporary_age_seconds = 600;

// Whether text[position, position + length) holds only characters accepted by is_wanted.
template <typename Predicate>
bool all_of_range(const std::string& text, std::size_t position, std::size_t length, Predicate is_wanted) {
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(position),
                       text.begin() + static_cast<std::ptrdiff_t>(position + length),
                       [&](char c) { return is_wanted(static_cast<unsigned char>(c)); });
}

// Whether name has the form that create_temporary_beside gives a temporary file of target_name:
// target_name "." digits "." digits "." 16 hexadecimal digits ".tmp".
bool is_temporary_name_of(const std::string& name, const std::string& target_name) {
    const std::string prefix = target_name + ".";
    const std::string suffix = ".tmp";
    if (name.size() < prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t first_dot = middle.find('.');
    const std::size_t second_dot = first_dot == std::string::npos ? first_dot : middle.find('.', first_dot + 1);
    if (second_dot == std::string::npos || first_dot == 0 || second_dot == first_dot + 1 ||
        middle.size() - second_dot - 1 != 16) {
        return false;
    }
    const auto is_digit = [](unsigned char c) { return std::isdigit(c) != 0; };
    const auto is_lower_hex = [](unsigned char c) { return std::isdigit(c) != 0 || (c >= 'a' && c <= 'f'); };
    return all_of_range(middle, 0, first_dot, is_digit) &&
           all_of_range(middle, first_dot + 1, second_dot - first_dot - 1, is_digit) &&
           all_of_range(middle, second_dot + 1, 16, is_lower_hex);
}

}  // namespace

void remove_temporary_files(const std::string& path, int64_t min_age_seconds) {
    const std::size_t separator = path.find_last_of("/\\");
    const std::string folder = separator == std::string::npos ? "." : path.substr(0, separator + 1);
    const std::string target_name = separator == std::string::npos ? path : path.substr(separator + 1);
    for (const platform::FolderFile& file : platform::list_files(folder)) {
        if (file.age_seconds >= min_age_seconds && is_temporary_name_of(file.name, target_name)) {
            delete_file(separator == std::string::npos ? file.name : folder + file.name);
        }
    }
}

// The document goes to a new file in the same folder first, which then replaces the target in
// one step: a failed or interrupted write never leaves a truncated target behind.
void dump_json_to_file(const JsonHandle& handle, const std::string& path) {
    remove_temporary_files(path, abandoned_temporary_age_seconds);
    std::string temporary_path;
    std::FILE* file = create_temporary_beside(path, temporary_path);
    if (file == nullptr) {
        const uint32_t code = last_system_error();
        throw CheckerException("Cannot open file: [" + path + "], with mode: [w], error: [" +
                               system_error_message(code) + "]");
    }
    // Declared before the stream so that the stream is closed before the file is removed.
    TemporaryFile temporary(temporary_path);
    FileHandle output(path, file, 0);
    if (json_dump_callback(handle.get(), write_callback, &output, json_dump_flags) != 0 || !output.close()) {
        throw CheckerException("Error dumping JSON: [" + output.error_text() + "]");
    }
    if (!platform::replace_file(temporary.path(), path)) {
        const uint32_t code = last_system_error();
        output.record_error("Cannot replace file: [" + path + "], error: [" + system_error_message(code) + "]");
        throw CheckerException("Error dumping JSON: [" + output.error_text() + "]");
    }
    temporary.commit();
}

namespace {

// The kind of a parse failure in words of our own, quoting nothing of the document.
const char* parse_failure_kind(const json_error_t& error) {
    switch (json_error_code(&error)) {
    case json_error_out_of_memory:
        return "out of memory";
    case json_error_stack_overflow:
        return "nested too deeply";
    case json_error_invalid_utf8:
        return "invalid UTF-8";
    case json_error_premature_end_of_input:
        return "unexpected end of input";
    case json_error_end_of_input_expected:
        return "end of input expected";
    case json_error_null_character:
    case json_error_null_byte_in_key:
        return "NUL character";
    case json_error_duplicate_key:
        return "duplicate object key";
    case json_error_numeric_overflow:
        return "number out of range";
    default:
        return "invalid syntax";
    }
}

}  // namespace

JsonHandle load_json_from_file(const std::string& path, uint32_t read_limit, ParseFailureText failure_text) {
    FileHandle input = open_file(path, "r", read_limit);
    json_error_t error{};
    json_t* value = json_load_callback(read_callback, &input, json_parse_flags, &error);
    if (value == nullptr) {
        const std::string cause = failure_text == ParseFailureText::quoted
                                      ? "text: [" + std::string(error.text) + "]"
                                      : "kind: [" + std::string(parse_failure_kind(error)) + "]";
        throw CheckerException("Error parsing JSON: " + cause + " line: [" + to_string(int32_t{error.line}) +
                               "] column: [" + to_string(int32_t{error.column}) + "] position: [" +
                               to_string(int32_t{error.position}) + "], callback error: [" + input.error_text() +
                               "]");
    }
    return adopt_json(value);
}

}  // namespace checker
