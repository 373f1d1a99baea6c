#include "Json.h"

#include <charconv>
#include <cmath>

namespace zx {

Json JsonNumber(float value) {
    if (!std::isfinite(value)) {
        return nullptr;
    }
    // The single's shortest text, read back as a double: the double prints as that text.
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double shortest = value;
    std::from_chars(text, written.ptr, shortest);
    return shortest;
}

std::string JsonText(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string JsonString(const Json& object, const char* key, std::string fallback) {
    if (!object.is_object()) {
        return fallback;
    }
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : fallback;
}

} // namespace zx
