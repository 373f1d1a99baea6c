#include "RecordReader.h"

#include "RecordBook.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <ctime>
#include <fstream>
#include <system_error>
#include <vector>

namespace zx {
namespace {

using Clock = std::chrono::system_clock;

// Digits at a place, exactly count of them.
bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) {
        return false;
    }
    for (std::size_t i = at; i < at + count; ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])) == 0) {
            return false;
        }
    }
    return std::from_chars(text.data() + at, text.data() + at + count, value).ec == std::errc{};
}

std::string MonthOf(Clock::time_point time) {
    return UtcText(time).substr(0, 7);
}

} // namespace

std::optional<Clock::time_point> ParseIsoTime(std::string_view text, bool upper) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' ||
        !Digits(text, 5, 2, month) || text[7] != '-' || !Digits(text, 8, 2, day)) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    std::size_t at = 10;
    std::chrono::milliseconds fraction{0};
    const bool dateOnly = at == text.size();
    if (!dateOnly) {
        if (text[at] != 'T' || !Digits(text, at + 1, 2, hour) || text.size() <= at + 3 ||
            text[at + 3] != ':' || !Digits(text, at + 4, 2, minute) || hour > 23 || minute > 59) {
            return std::nullopt;
        }
        at += 6;
        if (at < text.size() && text[at] == ':') {
            if (!Digits(text, at + 1, 2, second) || second > 60) {
                return std::nullopt;
            }
            at += 3;
            if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
                std::size_t end = at + 1;
                int scale = 100;
                while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) {
                    fraction += std::chrono::milliseconds((text[end] - '0') * scale);
                    scale /= 10;
                    ++end;
                }
                if (end == at + 1) {
                    return std::nullopt;
                }
                at = end;
            }
        }
    }
    std::optional<std::chrono::minutes> offset;
    if (at < text.size()) {
        int oh = 0, om = 0;
        const char sign = text[at];
        if (sign == 'Z' && at + 1 == text.size() && !dateOnly) {
            offset = std::chrono::minutes(0);
        } else if ((sign == '+' || sign == '-') && !dateOnly && Digits(text, at + 1, 2, oh) &&
                   oh < 24) {
            std::size_t end = at + 3;
            if (end < text.size() && text[end] == ':') {
                ++end;
            }
            if (!Digits(text, end, 2, om) || om > 59 || end + 2 != text.size()) {
                return std::nullopt;
            }
            offset = std::chrono::minutes((sign == '-' ? -1 : 1) * (oh * 60 + om));
        } else {
            return std::nullopt;
        }
    }
    const auto days = std::chrono::sys_days(date) +
                      (dateOnly && upper ? std::chrono::days(1) : std::chrono::days(0));
    if (!dateOnly && upper) {
        fraction += std::chrono::milliseconds(1);
    }
    const auto clockTime =
        std::chrono::hours(hour) + std::chrono::minutes(minute) + std::chrono::seconds(second);
    if (offset) {
        return Clock::time_point(days.time_since_epoch() + clockTime - *offset + fraction);
    }
    // A person's own clock: the local time of that day, summer time as it was then.
    const auto local = std::chrono::year_month_day(days);
    std::tm tm{};
    tm.tm_year = static_cast<int>(local.year()) - 1900;
    tm.tm_mon = static_cast<int>(static_cast<unsigned>(local.month())) - 1;
    tm.tm_mday = static_cast<int>(static_cast<unsigned>(local.day()));
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&tm);
    if (seconds == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return Clock::from_time_t(seconds) + fraction;
}

std::string RecordReader::Read(const std::filesystem::path& folder, const Window& window,
                               const std::function<bool(const std::string&, const Json&)>& take,
                               const std::function<void(const std::string&)>& broken) {
    std::error_code error;
    if (!std::filesystem::exists(folder, error) && !error) {
        return {}; // no change recorded yet
    }
    if (std::string problem = RecordsFolderProblem(folder, false); !problem.empty()) {
        return problem;
    }
    // Only the months the window reaches: YYYY-MM.jsonl, named by UTC.
    const std::string first = window.Since ? MonthOf(*window.Since) : "0000-00";
    const std::string last =
        window.Until ? MonthOf(*window.Until - std::chrono::milliseconds(1)) : "9999-99";
    std::vector<std::filesystem::path> files;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) {
        return "cannot read the records folder " + folder.string() + ": " + error.message();
    }
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        int year = 0, month = 0;
        if (name.size() == 13 && name.ends_with(".jsonl") && Digits(name, 0, 4, year) &&
            name[4] == '-' && Digits(name, 5, 2, month)) {
            const std::string key = name.substr(0, 7);
            if (key >= first && key <= last) {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        if (std::string problem = RecordsFileProblem(file); !problem.empty()) {
            return problem;
        }
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            return "cannot read " + file.string();
        }
        std::string line;
        for (long number = 1; std::getline(in, line); ++number) {
            const bool whole = !in.eof(); // the last line may lack its newline
            Json record = Json::parse(line, nullptr, false);
            const std::string time = JsonString(record, "time");
            const auto when = ParseIsoTime(time);
            if (record.is_discarded() || !record.is_object() || !when) {
                broken(file.string() + ":" + std::to_string(number) + ": " +
                       (whole ? "not a record" : "a record cut short") + ", skipped");
                continue;
            }
            if ((window.Since && *when < *window.Since) ||
                (window.Until && *when >= *window.Until)) {
                continue;
            }
            if (!take(line, record)) {
                return {};
            }
        }
        if (in.bad()) {
            return "cannot read " + file.string();
        }
    }
    return {};
}

} // namespace zx
