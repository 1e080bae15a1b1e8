// Owned jansson values, typed getters and validating setters, JSON files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <jansson.h>

#include "scoped_resource.hpp"

namespace checker {

// One reference to a jansson value.
struct JsonReference {
    using Value = json_t*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { json_decref(value); }
};

// Owns exactly one reference to a jansson value; never empty unless released or moved from.
class JsonHandle {
public:
    // Throws "Cannot create empty JSON object" for a null value.
    explicit JsonHandle(json_t* owned_value);

    json_t* get() const { return value_.get(); }
    // Gives up ownership; the handle is empty afterwards.
    json_t* release() { return value_.release(); }

private:
    ScopedResource<JsonReference> value_;
};

// Each program defines this: every parsed document passes through it (ownership in and out).
json_t* loaded_json_hook(json_t* value);

// Parsing rejects duplicate keys, stops after the first value and takes any value.
constexpr std::size_t json_parse_flags = JSON_REJECT_DUPLICATES | JSON_DISABLE_EOF_CHECK | JSON_DECODE_ANY;
static_assert(json_parse_flags == 0x7, "the parse flags documented for the stored files");
// Writing indents by four and keeps members in insertion order.
constexpr std::size_t json_dump_flags = JSON_INDENT(4) | JSON_PRESERVE_ORDER | JSON_ENCODE_ANY;
static_assert(json_dump_flags == 0x304, "the serialise flags documented for the stored files");

JsonHandle make_empty_object();
// Passes a freshly parsed value through loaded_json_hook and requires an object.
JsonHandle adopt_json(json_t* parsed_value);

void set_string_field(const JsonHandle& handle, const std::string& key, const std::string& value);
void set_integer_field(const JsonHandle& handle, const std::string& key, uint64_t value);

// Getters never throw: a missing member, another type or a non-object give the default.
// get_string_field returns the default's own text (no copy) when it falls back.
const char* get_string_field(const json_t* object, const std::string& key, const std::string& default_value);
// The same with a literal default, so the pointer that falls back never dangles.
const char* get_string_field(const json_t* object, const std::string& key, const char* default_value);
uint32_t get_uint32_field(const json_t* object, const std::string& key, uint32_t default_value);
uint64_t get_uint64_field(const json_t* object, const std::string& key, uint64_t default_value);
bool get_bool_field(const json_t* object, const std::string& key, bool default_value);

inline const char* get_string_field(const JsonHandle& handle, const std::string& key, const std::string& default_value) {
    return get_string_field(handle.get(), key, default_value);
}
inline const char* get_string_field(const JsonHandle& handle, const std::string& key, const char* default_value) {
    return get_string_field(handle.get(), key, default_value);
}
inline uint32_t get_uint32_field(const JsonHandle& handle, const std::string& key, uint32_t default_value) {
    return get_uint32_field(handle.get(), key, default_value);
}
inline uint64_t get_uint64_field(const JsonHandle& handle, const std::string& key, uint64_t default_value) {
    return get_uint64_field(handle.get(), key, default_value);
}
inline bool get_bool_field(const JsonHandle& handle, const std::string& key, bool default_value) {
    return get_bool_field(handle.get(), key, default_value);
}

// Writes the document to a new file beside the target and replaces the target in one step.
// Temporary files of earlier dumps to the same path that are ten minutes old or more were left
// by a writer that was killed in between; they are removed first.
void dump_json_to_file(const JsonHandle& handle, const std::string& path);
// Removes the temporary files of dumps to path (only names of the dump's own pattern) that are at
// least min_age_seconds old; 0 removes them all. Failures are ignored.
void remove_temporary_files(const std::string& path, int64_t min_age_seconds);
// How a parse failure names its cause: with jansson's text, which quotes the document near the
// fault, or only by kind and position, for a document that may hold a password.
enum class ParseFailureText { quoted, position_only };
JsonHandle load_json_from_file(const std::string& path, uint32_t read_limit,
                               ParseFailureText failure_text = ParseFailureText::quoted);

}  // namespace checker
