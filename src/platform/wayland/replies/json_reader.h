#pragma once
// Reading sway's JSON with json-c (no toolkit: a shot on sway loads no Qt): a parsed reply and
// the few lookups the readers need, each safe on a missing member or a value of another type.
#include <json-c/json_object.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kvr::json {

struct Free {
    void operator()(json_object* o) const { json_object_put(o); }
};
using Value = std::unique_ptr<json_object, Free>;

// The parsed text, or null for what is not JSON or nests deeper than maxDepth.
Value parse(std::string_view text, int maxDepth);

// The member `key` of an object; null when o is no object or has no such member.
json_object* member(json_object* o, const char* key);
bool boolOf(json_object* o, const char* key);
std::string stringOf(json_object* o, const char* key);  // "" when not a string
int64_t integerOf(json_object* o, const char* key);     // 0 when not an integer
// The number of elements of an array (0 for anything else).
size_t lengthOf(json_object* array);

}  // namespace kvr::json
