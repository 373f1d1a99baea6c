#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace zx {

// A JSON object written member by member, for the records of changes and the command-line
// tool's answers: strings escaped, numbers as the shortest text that reads back the same.
class JsonObject {
public:
    JsonObject& Add(std::string_view key, std::string_view text) {
        Key(key);
        Quote(text);
        return *this;
    }
    JsonObject& Add(std::string_view key, const char* text) {
        return Add(key, std::string_view(text));
    }
    JsonObject& Add(std::string_view key, const std::string& text) {
        return Add(key, std::string_view(text));
    }
    JsonObject& Add(std::string_view key, bool value) {
        Key(key);
        Text_ += value ? "true" : "false";
        return *this;
    }
    JsonObject& Add(std::string_view key, std::int64_t value) {
        Key(key);
        Text_ += std::to_string(value);
        return *this;
    }
    JsonObject& Add(std::string_view key, int value) {
        return Add(key, static_cast<std::int64_t>(value));
    }
    JsonObject& Add(std::string_view key, unsigned value) {
        return Add(key, static_cast<std::int64_t>(value));
    }
    JsonObject& Add(std::string_view key, float value) {
        Key(key);
        if (!std::isfinite(value)) {
            Text_ += "null"; // JSON has no infinity nor NaN
            return *this;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
        Text_ += text;
        return *this;
    }
    // A member whose value is JSON already (an object, an array, null).
    JsonObject& Raw(std::string_view key, std::string_view json) {
        Key(key);
        Text_ += json;
        return *this;
    }
    std::string Text() const { return Text_ + "}"; }

private:
    void Key(std::string_view key) {
        if (Text_.size() > 1) {
            Text_ += ',';
        }
        Quote(key);
        Text_ += ':';
    }
    void Quote(std::string_view text) {
        Text_ += '"';
        for (const char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                Text_ += '\\';
                Text_ += c;
            } else if (u < 0x20 || u == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
                Text_ += escaped;
            } else {
                Text_ += c;
            }
        }
        Text_ += '"';
    }
    std::string Text_ = "{";
};

} // namespace zx
