#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace zx {

// JSON for machines (the records of changes, the command-line tool's answers): members keep the
// order they were written in, so that a record reads time first.
using Json = nlohmann::ordered_json;

// A single as the shortest decimal that reads back as the same single (8.2, not 8.19999981),
// whatever the locale; null for what JSON cannot hold (infinity, NaN).
Json JsonNumber(float value);

// One line of JSON: text from a module or an argument that is not UTF-8 is replaced, never
// passed on raw nor thrown.
std::string JsonText(const Json& value);

// The value of a member, or the fallback where the member is missing or of another kind; for
// reading records that were written by hand or by an older program.
std::string JsonString(const Json& object, const char* key, std::string fallback = {});

} // namespace zx
