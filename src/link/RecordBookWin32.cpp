// The records' system side on Windows: the user and machine, the application data folder, and
// an append that leaves whole lines only.
#include "RecordBook.h"
#include "RecordReader.h"

#include <windows.h>

#include <cstdlib>

namespace zx {
namespace {

std::string Utf8(const wchar_t* text, int length = -1) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    while (!utf8.empty() && utf8.back() == '\0') {
        utf8.pop_back();
    }
    return utf8;
}

std::string Reason(const char* what, const std::filesystem::path& file) {
    wchar_t* message = nullptr;
    const DWORD error = GetLastError();
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string reason = message != nullptr ? Utf8(message) : "error " + std::to_string(error);
    LocalFree(message);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    return std::string(what) + " " + file.string() + ": " + reason;
}

bool CutAt(HANDLE file, LONGLONG size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) != 0;
}

} // namespace

std::string SystemUserName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    return GetUserNameW(name, &size) ? Utf8(name) : "unknown";
}

std::string SystemMachineName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? Utf8(name) : "unknown";
}

std::filesystem::path SystemDataFolder() {
    if (const wchar_t* data = _wgetenv(L"APPDATA"); data != nullptr && data[0] != L'\0') {
        return data;
    }
    return std::filesystem::temp_directory_path();
}

std::string RecordsFolderProblem(const std::filesystem::path& folder, bool make) {
    // The folder lies in the user's own profile, which Windows keeps private.
    std::error_code error;
    if (make) {
        std::filesystem::create_directories(folder, error);
    }
    if (!std::filesystem::is_directory(folder, error)) {
        return "cannot make the records folder " + folder.string() +
               (error ? ": " + error.message() : std::string());
    }
    return {};
}

std::string RecordsFileProblem(const std::filesystem::path&) {
    return {};
}

bool AppendWholeLine(const std::filesystem::path& file, const std::string& line,
                     std::chrono::steady_clock::time_point deadline,
                     const std::atomic<bool>& giveUp, std::string& problem) {
    HANDLE h =
        CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        problem = Reason("cannot open", file);
        return false;
    }
    OVERLAPPED whole{};
    // Writers of both programs append to the same month: one at a time.
    // A writer that holds the lock for ever is waited for only so long.
    while (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                       MAXDWORD, &whole)) {
        if (GetLastError() != ERROR_LOCK_VIOLATION) {
            problem = Reason("cannot lock", file);
            CloseHandle(h);
            return false;
        }
        if (giveUp || std::chrono::steady_clock::now() >= deadline) {
            problem = "another program holds the lock of " + file.string();
            CloseHandle(h);
            return false;
        }
        Sleep(10);
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    // Cut off a tail a writer left without its newline.
    LONGLONG end = size.QuadPart;
    char block[4096];
    while (end > 0) {
        const LONGLONG start = std::max<LONGLONG>(0, end - static_cast<LONGLONG>(sizeof block));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(start);
        at.OffsetHigh = static_cast<DWORD>(start >> 32);
        DWORD n = 0;
        if (!ReadFile(h, block, static_cast<DWORD>(end - start), &n, &at) || n == 0) {
            end = size.QuadPart;
            break;
        }
        bool found = false;
        for (DWORD i = n; i > 0; --i) {
            if (block[i - 1] == '\n') {
                end = start + i;
                found = true;
                break;
            }
        }
        if (found) {
            break;
        }
        end = start;
    }
    if (end != size.QuadPart && CutAt(h, end)) {
        size.QuadPart = end;
    }
    const std::string text = line + '\n';
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(size.QuadPart);
    at.OffsetHigh = static_cast<DWORD>(size.QuadPart >> 32);
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, &at) &&
                    written == text.size() && FlushFileBuffers(h);
    if (!ok) {
        problem = Reason("cannot write", file);
        CutAt(h, size.QuadPart); // a full disk took part of the line: the part goes
    }
    UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(h);
    return ok;
}

} // namespace zx
