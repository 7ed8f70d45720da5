// Test support: small helpers shared by the connection tests: elapsed time,
// file presence and a record of what a connection callback was told.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace orvo::test {

using Clock = std::chrono::steady_clock;

// Whole milliseconds from start until now.
long long MillisecondsSince(Clock::time_point start);

// True when something (a dangling link too) is at path.
bool FileExists(const std::string& path);

// What one host connection callback was told, in order. Thread-safe: the
// library calls back from its own threads.
class CallbackLog {
public:
    void Add(bool connected);
    // Waits until count calls arrived; false on time-out.
    bool WaitForCount(size_t count, int timeoutMs);
    std::vector<bool> Events();
    void Clear();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> events_;
};

}  // namespace orvo::test
