#include "platform/wayland/replies/json_reader.h"

#include <json-c/json_tokener.h>

namespace kvr::json {

Value parse(std::string_view text, int maxDepth) {
    json_tokener* tokener = json_tokener_new_ex(maxDepth);
    if (!tokener)
        return nullptr;
    Value root(json_tokener_parse_ex(tokener, text.data(), int(text.size())));
    json_tokener_free(tokener);
    return root;
}

json_object* member(json_object* o, const char* key) {
    json_object* value = nullptr;
    return json_object_is_type(o, json_type_object) && json_object_object_get_ex(o, key, &value)
               ? value
               : nullptr;
}

bool boolOf(json_object* o, const char* key) {
    json_object* v = member(o, key);
    return json_object_is_type(v, json_type_boolean) && json_object_get_boolean(v);
}

std::string stringOf(json_object* o, const char* key) {
    json_object* v = member(o, key);
    return json_object_is_type(v, json_type_string) ? json_object_get_string(v) : "";
}

int64_t integerOf(json_object* o, const char* key) {
    json_object* v = member(o, key);
    return json_object_is_type(v, json_type_int) ? json_object_get_int64(v) : 0;
}

size_t lengthOf(json_object* array) {
    return json_object_is_type(array, json_type_array) ? json_object_array_length(array) : 0;
}

}  // namespace kvr::json
