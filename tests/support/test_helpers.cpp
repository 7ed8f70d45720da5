#include "test_helpers.h"

#include <sys/stat.h>

namespace orvo::test {

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool FileExists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

void CallbackLog::Add(bool connected)
{
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(connected);
    changed_.notify_all();
}

bool CallbackLog::WaitForCount(size_t count, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return events_.size() >= count; });
}

std::vector<bool> CallbackLog::Events()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

void CallbackLog::Clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

}  // namespace orvo::test
