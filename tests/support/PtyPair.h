#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zx::test {

// A folder "lock" of mode 1777 under the given one, made when missing: the tests' stand-in for
// the system's lock folder, which no test touches.
inline std::filesystem::path PrivateLockFolder(const std::filesystem::path& under) {
    const auto folder = under / "lock";
    if (std::filesystem::create_directory(folder)) {
        std::filesystem::permissions(folder, std::filesystem::perms(01777));
    }
    return folder;
}

// A pseudo-terminal pair owned by a test: the code under test opens the slave through a link
// "comN" in a private link folder, the test plays the far end on the master.
class PtyPair {
public:
    explicit PtyPair(int comNumber = 1);
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::filesystem::path& LinkFolder() const { return Folder_; }
    // A private lock folder, open to all as the system's is (mode 1777).
    std::filesystem::path LockFolder() const { return PrivateLockFolder(Folder_); }
    const std::string& SlavePath() const { return SlavePath_; }
    int Master() const { return Master_; }

    void Write(const std::vector<std::uint8_t>& bytes) const;
    // Reads what has arrived at the master within the wait, processing Qt events meanwhile.
    std::vector<std::uint8_t> ReadAvailable(int waitMs = 200) const;
    // Reads until count bytes arrived or the time is up.
    std::vector<std::uint8_t> ReadExactly(std::size_t count, int timeoutMs = 3000) const;
    // The far end goes away, as an unplugged adapter would.
    void CloseMaster();

private:
    std::filesystem::path Folder_;
    std::string SlavePath_;
    int Master_ = -1;
    int Slave_ = -1;
};

// Processes Qt events until the condition holds or the time is up; true when it held.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Runs the event loop for a while, sleeping in it as the program would (for "nothing more
// happens" checks).
inline void ProcessEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace zx::test
