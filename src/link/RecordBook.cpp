#include "RecordBook.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace zx {

RecordBook::RecordBook(std::filesystem::path folder, std::string program)
    : Folder_(std::move(folder)), Program_(std::move(program)), User_(SystemUserName()),
      Machine_(SystemMachineName()) {}

bool RecordBook::Write(const RecordPlace& place, const Request& request,
                       const std::string* answerJson, bool late) {
    RecordPlace full = place;
    full.User = User_;
    full.Machine = Machine_;
    full.Program = Program_;
    return Append(RecordLine(full, request, answerJson, late));
}

bool RecordBook::Append(const std::string& line) {
    std::error_code error;
    std::filesystem::create_directories(Folder_, error);
    if (error) {
        Problem_ = "cannot make the records folder " + Folder_.string() + ": " + error.message();
        return false;
    }
    // The month of the record's own time, which leads the line: {"time":"2026-12-...
    const std::string key = "{\"time\":\"";
    const std::string month =
        line.starts_with(key) ? line.substr(key.size(), 7) : UtcNow().substr(0, 7);
    return AppendWholeLine(Folder_ / (month + ".jsonl"), line, Problem_);
}

std::vector<std::string> RecordBook::Read(const std::filesystem::path& folder,
                                          const std::string& since) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".jsonl" && entry.is_regular_file(error)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> lines;
    const std::string key = "{\"time\":\"";
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::size_t start = 0;
        for (std::size_t end; (end = content.find('\n', start)) != std::string::npos;
             start = end + 1) {
            std::string line = content.substr(start, end - start);
            const bool timed = line.starts_with(key);
            if (timed && (since.empty() || line.compare(key.size(), since.size(), since) >= 0)) {
                lines.push_back(std::move(line));
            }
        }
        // A tail without its newline is a line a writer never finished: never taken.
    }
    return lines;
}

std::filesystem::path RecordBook::DefaultFolder() {
    return SystemDataFolder() / "zentrix" / "records";
}

} // namespace zx
