// Time-limited reads and writes on the open port. The descriptor is
// non-blocking; every transfer waits for readiness first.
#include "device/link.h"
#include "device/platform_paths.h"
#include "platform/platform.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

// Waits of one transfer call. On Linux the time-out is one budget for the
// whole call; on macOS every wait gets it in full.
class TransferClock {
public:
    explicit TransferClock(unsigned int timeoutMs)
        : m_timeoutMs(timeoutMs), m_deadline(platform::DeadlineAfter(timeoutMs))
    {
    }

    int NextWaitMs() const
    {
        if (!platform::TransferTimeoutIsOneBudget())
            return static_cast<int>(m_timeoutMs);
        struct timespec now;
        clock_gettime(platform::EventClock(), &now);
        const long long left = (m_deadline.tv_sec - now.tv_sec) * 1000LL + (m_deadline.tv_nsec - now.tv_nsec) / 1000000LL;
        return left > 0 ? static_cast<int>(left) : 0;
    }

private:
    unsigned int m_timeoutMs;
    struct timespec m_deadline;
};

enum class WaitResult { Ready, TimedOut, Failed };

// poll() rather than select(): select cannot take descriptors above
// FD_SETSIZE, which a busy host process can reach.
WaitResult WaitReady(int descriptor, short events, const TransferClock& clock)
{
    for (;;) {
        struct pollfd entry = {descriptor, events, 0};
        const int ready = poll(&entry, 1, clock.NextWaitMs());
        if (ready > 0)
            return (entry.revents & POLLNVAL) ? WaitResult::Failed : WaitResult::Ready;
        if (ready == 0)
            return WaitResult::TimedOut;
        if (errno != EINTR)
            return WaitResult::Failed;
    }
}

}  // namespace

int WriteData(const unsigned char* data, int length, int)
{
    const long descriptor = g_hDevice.load();
    if (descriptor == -1)
        return 0;
    const int fd = static_cast<int>(descriptor);
    const TransferClock clock(g_nDeviceWriteTimeout);
    int written = 0;
    while (written < length) {
        if (WaitReady(fd, POLLOUT, clock) != WaitResult::Ready)
            return 0;
        const ssize_t count = write(fd, data + written, static_cast<size_t>(length - written));
        if (count < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                SleepEx(10);
                continue;
            }
            return written;
        }
        written += static_cast<int>(count);
    }
    return written;
}

int ReadDataEx(unsigned char* buffer, int length, unsigned int timeout)
{
    const long descriptor = g_hDevice.load();
    if (descriptor == -1)
        return 0;
    const int fd = static_cast<int>(descriptor);
    const TransferClock clock(timeout);
    int received = 0;
    while (received < length) {
        if (WaitReady(fd, POLLIN, clock) != WaitResult::Ready)
            return received > 0 ? received : -1;
        const ssize_t count = read(fd, buffer + received, static_cast<size_t>(length - received));
        if (count < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                SleepEx(10);
                continue;
            }
            return received;
        }
        // A hung-up port reports readable and yields nothing: end the call
        // instead of spinning until the budget runs out.
        if (count == 0)
            return received;
        received += static_cast<int>(count);
    }
    return received;
}

int ReadData(unsigned char* buffer, int length)
{
    return ReadDataEx(buffer, length, g_nDeviceReadTimeout);
}

void SetDeviceTimeoutSetting(unsigned int readTimeout, unsigned int writeTimeout)
{
    g_nDeviceReadTimeout = readTimeout;
    g_nDeviceWriteTimeout = writeTimeout;
    if (!platform::TransferTimeoutIsOneBudget())
        return;
    const long descriptor = g_hDevice.load();
    if (descriptor == -1)
        return;
    WaitReady(static_cast<int>(descriptor), POLLIN, TransferClock(readTimeout));
    WaitReady(static_cast<int>(descriptor), POLLOUT, TransferClock(writeTimeout));
}
