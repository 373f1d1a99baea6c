#pragma once

#include "ChangeRecord.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zx {

// The record of every change made to a module: one JSON line per change in a file per month
// (YYYY-MM.jsonl, by UTC) in the records folder. A line is written whole or not at all: a
// writer that died in the middle of one leaves a tail without its newline, which the next
// writer cuts off before it appends, and which readers never take. A record that cannot be
// written never stops the work: its writer is told, and the work goes on.
class RecordBook {
public:
    // program: who writes ("zentrix", "zentrix-cli"); the user and the machine are the
    // system's.
    RecordBook(std::filesystem::path folder, std::string program);

    // Appends the record of a request and its answer (nullptr: no response). False when it
    // could not be written; Problem() then says why.
    bool Write(const RecordPlace& place, const Request& request, const std::string* answerJson,
               bool late);
    // Appends a line as it is (without its newline).
    bool Append(const std::string& line);
    const std::string& Problem() const { return Problem_; }

    // The whole lines of every month's file, oldest first, whose time is at or after since
    // (an ISO 8601 date or time, compared as text; empty for all).
    static std::vector<std::string> Read(const std::filesystem::path& folder,
                                         const std::string& since);

    // The user's records folder: $XDG_DATA_HOME/zentrix/records (~/.local/share when unset);
    // on Windows %APPDATA%\zentrix\records.
    static std::filesystem::path DefaultFolder();

private:
    std::filesystem::path Folder_;
    std::string Program_;
    std::string User_;
    std::string Machine_;
    std::string Problem_;
};

// The system's side of a record (one file per system): who and where, and the append itself.
std::string SystemUserName();
std::string SystemMachineName();
std::filesystem::path SystemDataFolder();
// Appends the line and its newline to the file under an exclusive lock, first cutting off a
// tail that a writer left without its newline; on a short write the file is cut back to where
// it was. False with the reason in problem.
bool AppendWholeLine(const std::filesystem::path& file, const std::string& line,
                     std::string& problem);

} // namespace zx
