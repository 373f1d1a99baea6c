#include "RecordBook.h"

#include <cstdio>
#include <functional>
#include <utility>

namespace zx {

RecordBook::RecordBook(std::filesystem::path folder, std::string program)
    : Folder_(std::move(folder)), Program_(std::move(program)), User_(SystemUserName()),
      Machine_(SystemMachineName()) {}

RecordBook::~RecordBook() {
    Flush(FlushBound);
    {
        const std::lock_guard lock(Mutex_);
        Closing_ = true;
    }
    GiveUp_ = true;
    Changed_.notify_all();
    if (Writer_.joinable()) {
        Writer_.join();
    }
    // What never reached the file is said where a person or a log sees it, line and all.
    for (const Unwritten& u : TakeUnwritten()) {
        std::fprintf(stderr, "%s: a record was not written (%s): %s\n", Program_.c_str(),
                     u.Reason.c_str(), u.Line.c_str());
    }
}

void RecordBook::Write(const RecordPlace& place, const Request& request,
                       const RecordOutcome& outcome) {
    RecordPlace full = place;
    full.User = User_;
    full.Machine = Machine_;
    full.Program = Program_;
    Post(RecordLine(full, request, outcome));
}

void RecordBook::Post(std::string line) {
    {
        const std::lock_guard lock(Mutex_);
        Queue_.push_back(std::move(line));
        if (!Writer_.joinable()) {
            Writer_ = std::thread([this] { Run(); });
        }
    }
    Changed_.notify_all();
}

void RecordBook::Run() {
    std::unique_lock lock(Mutex_);
    for (;;) {
        Changed_.wait(lock, [this] { return Closing_ || !Queue_.empty(); });
        if (Queue_.empty()) {
            return; // closing, nothing left
        }
        std::string line = std::move(Queue_.front());
        Queue_.pop_front();
        Writing_ = true;
        lock.unlock();
        std::string problem;
        const bool written = Append(line, problem);
        lock.lock();
        Writing_ = false;
        if (!written) {
            if (NewProblem_.empty()) {
                NewProblem_ = problem;
            }
            Unwritten_.push_back({std::move(line), std::move(problem)});
        }
        Changed_.notify_all();
    }
}

bool RecordBook::Flush(std::chrono::milliseconds bound, const std::function<bool()>& stop) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::unique_lock lock(Mutex_);
    for (;;) {
        if (Queue_.empty() && !Writing_) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline || (stop && stop())) {
            break;
        }
        // Short steps, so that a signal is seen within a moment.
        Changed_.wait_for(lock, std::chrono::milliseconds(20));
    }
    // The writer gives up the line it waits with, and whatever still waits is the caller's to
    // say.
    GiveUp_ = true;
    for (std::string& line : Queue_) {
        Unwritten_.push_back({std::move(line), "not written in time"});
    }
    if (NewProblem_.empty() && !Queue_.empty()) {
        NewProblem_ = "not written in time";
    }
    Queue_.clear();
    if (Changed_.wait_for(lock, LockBound, [this] { return !Writing_; })) {
        GiveUp_ = false; // later lines are written as usual
    }
    return false;
}

std::vector<RecordBook::Unwritten> RecordBook::TakeUnwritten() {
    const std::lock_guard lock(Mutex_);
    return std::exchange(Unwritten_, {});
}

std::string RecordBook::TakeNewProblem() {
    const std::lock_guard lock(Mutex_);
    return std::exchange(NewProblem_, {});
}

bool RecordBook::Append(const std::string& line, std::string& problem) {
    if (problem = RecordsFolderProblem(Folder_, true); !problem.empty()) {
        return false;
    }
    // The month of the record's own time, which leads the line: {"time":"2026-12-...
    const std::string key = "{\"time\":\"";
    const std::string month =
        line.starts_with(key) ? line.substr(key.size(), 7) : UtcNow().substr(0, 7);
    return AppendWholeLine(Folder_ / (month + ".jsonl"), line,
                           std::chrono::steady_clock::now() + LockBound, GiveUp_, problem);
}

std::filesystem::path RecordBook::DefaultFolder() {
    return SystemDataFolder() / "zentrix" / "records";
}

} // namespace zx
