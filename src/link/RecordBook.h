#pragma once

#include "ChangeRecord.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zx {

// The record of every change made to a module: one JSON line per change in a file per month
// (YYYY-MM.jsonl, by UTC) in the records folder, private to its user. A line is written whole
// or not at all. Lines are written by a thread of their own, so that neither a slow disk nor
// another program holding the month's lock ever delays the line to the module or the window:
// Write() only queues. A line that could not be written is kept with the reason, for its
// program to say; none is dropped in silence.
class RecordBook {
public:
    // program: who writes ("zentrix", "zentrix-cli"); the user and the machine are the
    // system's.
    RecordBook(std::filesystem::path folder, std::string program);
    // Waits for the lines still queued, at most FlushBound.
    ~RecordBook();
    RecordBook(const RecordBook&) = delete;
    RecordBook& operator=(const RecordBook&) = delete;

    // Queues the record of a request and how it ended.
    void Write(const RecordPlace& place, const Request& request, const RecordOutcome& outcome);
    // Queues a line as it is (without its newline).
    void Post(std::string line);

    // Waits until every queued line is written or given up, at most bound; stop() cuts the wait
    // short (a signal). True when nothing is left queued.
    bool Flush(std::chrono::milliseconds bound, const std::function<bool()>& stop = {});
    // Lines not written (given up, or still queued once the wait ended), each with its reason,
    // taken once.
    struct Unwritten {
        std::string Line;
        std::string Reason;
    };
    std::vector<Unwritten> TakeUnwritten();
    // The reason of the first line not written since the last call; empty when none.
    std::string TakeNewProblem();

    // Appends a line now, on the caller's thread; false with the reason in problem.
    bool Append(const std::string& line, std::string& problem);

    // The user's records folder: $XDG_DATA_HOME/zentrix/records (~/.local/share when unset);
    // on Windows %APPDATA%\zentrix\records.
    static std::filesystem::path DefaultFolder();

    // How long a line waits for another writer's lock on its month before it is given up.
    static constexpr std::chrono::milliseconds LockBound{3000};
    static constexpr std::chrono::milliseconds FlushBound{5000};

private:
    void Run();

    std::filesystem::path Folder_;
    std::string Program_;
    std::string User_;
    std::string Machine_;

    std::mutex Mutex_;
    std::condition_variable Changed_;
    std::deque<std::string> Queue_;
    bool Writing_ = false; // a line taken from the queue is being written
    bool Closing_ = false;
    std::atomic<bool> GiveUp_{false};
    std::vector<Unwritten> Unwritten_;
    std::string NewProblem_;
    std::thread Writer_;
};

// The system's side of a record (one file per system): who and where, and the append itself.
std::string SystemUserName();
std::string SystemMachineName();
std::filesystem::path SystemDataFolder();
// Why the records folder cannot be trusted (another user's, writable by others, not a folder),
// or empty; make: creates it, private, where it is missing.
std::string RecordsFolderProblem(const std::filesystem::path& folder, bool make);
// Appends the line and its newline to the file under an exclusive lock, waited for until the
// deadline or until giveUp. A whole record left without its newline gets it; a tail that is no
// whole record is cut off and kept beside the file (its name + ".cut"). On a short write the
// file is cut back to where it was. False with the reason in problem.
bool AppendWholeLine(const std::filesystem::path& file, const std::string& line,
                     std::chrono::steady_clock::time_point deadline,
                     const std::atomic<bool>& giveUp, std::string& problem);

} // namespace zx
