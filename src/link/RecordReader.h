#pragma once

#include "Json.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zx {

// A moment named in ISO 8601 by a person or a script: a date ("2026-12-01"), or a date and a
// time to the minute, second or fraction ("2026-12-01T08:30", "…T08:30:15.250"), with "Z" or
// an offset ("+01:00", "-0500"); without one, the local time. A date alone means that whole
// day. As an upper bound (upper), what is named is included: the moment after it is given, the
// next day's start for a date, a millisecond past a time. Nothing else is taken.
std::optional<std::chrono::system_clock::time_point> ParseIsoTime(std::string_view text,
                                                                  bool upper = false);

// The records folder read as a stream: only the month files the time window needs, oldest
// first, a line at a time, so that memory stays the same for a million lines and a reader
// that stops early (| head -1) costs nothing more.
class RecordReader {
public:
    struct Window {
        std::optional<std::chrono::system_clock::time_point> Since; // at or after
        std::optional<std::chrono::system_clock::time_point> Until; // before
    };
    // Each valid record in the window, as its line and as JSON; take returns false to stop.
    // A line that is not a record (not JSON, no time, cut short) is told to broken with its
    // file and line number and never passed on. Returns why the reading stopped short (a folder
    // or file that cannot be read or trusted); empty when all was read or take stopped it.
    static std::string Read(const std::filesystem::path& folder, const Window& window,
                            const std::function<bool(const std::string&, const Json&)>& take,
                            const std::function<void(const std::string&)>& broken);
};

// The system's check of a month's file before it is read: why it cannot be trusted, or empty.
std::string RecordsFileProblem(const std::filesystem::path& file);

} // namespace zx
