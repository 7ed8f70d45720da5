// Wait semantics of the events, the waits on several events, sleeps and the
// recursive critical section.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/platform.h"
#include "test_helpers.h"

namespace {

using orvo::test::Clock;
using orvo::test::MillisecondsSince;

TEST(AutoResetEvent, ZeroTimeoutPollConsumesTheSignal)
{
    CAutoResetEvent event(false);
    EXPECT_EQ(event.WaitTimeout(0), WAIT_TIMEOUT_STATUS);
    event.SetEvent();
    EXPECT_EQ(event.WaitTimeout(0), WAIT_SIGNALLED);
    EXPECT_EQ(event.WaitTimeout(0), WAIT_TIMEOUT_STATUS);
}

TEST(AutoResetEvent, TwoSetsBeforeAWaitAreConsumedByOneWait)
{
    CAutoResetEvent event(false);
    event.SetEvent();
    event.SetEvent();
    EXPECT_EQ(event.WaitTimeout(10), WAIT_SIGNALLED);
    EXPECT_EQ(event.WaitTimeout(0), WAIT_TIMEOUT_STATUS);
}

TEST(AutoResetEvent, InitialStateSignalledIsConsumedByWait)
{
    CAutoResetEvent event(true);
    event.Wait();
    EXPECT_EQ(event.WaitTimeout(0), WAIT_TIMEOUT_STATUS);
}

TEST(AutoResetEvent, SetEventWakesOneBlockedWaiter)
{
    CAutoResetEvent event(false);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i)
        waiters.emplace_back([&] {
            if (event.WaitTimeout(1500) == WAIT_SIGNALLED)
                ++woken;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    event.SetEvent();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(woken.load(), 1);
}

TEST(ManualResetEvent, StaysSignalledUntilReset)
{
    CManualResetEvent event(false);
    event.SetEvent();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(event.WaitTimeout(0), WAIT_SIGNALLED);
    event.ResetEvent();
    EXPECT_EQ(event.WaitTimeout(0), WAIT_TIMEOUT_STATUS);
}

TEST(ManualResetEvent, SetEventReleasesEveryBlockedWaiter)
{
    CManualResetEvent event(false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            event.Wait();
            ++released;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(released.load(), 0);
    event.SetEvent();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released.load(), 4);
}

TEST(EventWait, TimeoutOf1500msCarriesIntoTheNextSecond)
{
    CAutoResetEvent event(false);
    const auto start = Clock::now();
    EXPECT_EQ(event.WaitTimeout(1500), WAIT_TIMEOUT_STATUS);
    const long long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 1490);
    EXPECT_LT(elapsed, 4000);
}

TEST(EventWait, TimeoutStatusIsThePlatformTimeoutCode)
{
    EXPECT_EQ(WAIT_TIMEOUT_STATUS, static_cast<unsigned int>(ETIMEDOUT));
    CManualResetEvent event(false);
    EXPECT_EQ(WaitForSingleObject(&event, 0), static_cast<unsigned int>(ETIMEDOUT));
    event.SetEvent();
    EXPECT_EQ(WaitForSingleObject(&event, 0), 0u);
}

TEST(EventWait, SignalFromAnotherThreadEndsTheWaitEarly)
{
    CAutoResetEvent event(false);
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        event.SetEvent();
    });
    const auto start = Clock::now();
    EXPECT_EQ(event.WaitTimeout(5000), WAIT_SIGNALLED);
    EXPECT_LT(MillisecondsSince(start), 4000);
    setter.join();
}

TEST(WaitForMultipleObjects, WaitAllIsRefusedAtOnce)
{
    CAutoResetEvent first(true), second(true);
    CEvent* events[] = {&first, &second};
    EXPECT_EQ(WaitForMultipleObjects(2, events, 1, 1000), static_cast<int>(WAIT_TIMEOUT_STATUS));
    EXPECT_EQ(first.WaitTimeout(0), WAIT_SIGNALLED);  // nothing consumed
}

TEST(WaitForMultipleObjects, ReturnsTheFirstSignalledIndexAndConsumesOnlyIt)
{
    CAutoResetEvent first(true), second(true);
    CEvent* events[] = {&first, &second};
    EXPECT_EQ(WaitForMultipleObjects(2, events, 0, 100), 0);
    EXPECT_EQ(first.WaitTimeout(0), WAIT_TIMEOUT_STATUS);
    EXPECT_EQ(second.WaitTimeout(0), WAIT_SIGNALLED);
}

TEST(WaitForMultipleObjects, SeesAnEventSetLaterAndTimesOutOtherwise)
{
    CAutoResetEvent first(false), second(false);
    CEvent* events[] = {&first, &second};
    EXPECT_EQ(WaitForMultipleObjects(2, events, 0, 50), static_cast<int>(WAIT_TIMEOUT_STATUS));
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        second.SetEvent();
    });
    EXPECT_EQ(WaitForMultipleObjects(2, events, 0, INFINITE_TIMEOUT), 1);
    setter.join();
}

TEST(SleepEx, SleepsAtLeastTheRequestedTime)
{
    for (unsigned int ms : {100u, 1200u}) {
        const auto start = Clock::now();
        SleepEx(ms);
        EXPECT_GE(MillisecondsSince(start), static_cast<long long>(ms) - 5) << ms;
    }
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads)
{
    CSimpleCriticalSection section;
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            CAutoCriticalSection outer(section);
            CAutoCriticalSection inner(section);  // same thread again
            ++counter;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}

TEST(CriticalSection, IsReleasedWhenAnExceptionLeavesTheScope)
{
    CSimpleCriticalSection section;
    try {
        CAutoCriticalSection lock(section);
        throw 1;
    } catch (int) {
    }
    std::atomic<bool> acquired{false};
    std::thread other([&] {
        CAutoCriticalSection lock(section);
        acquired = true;
    });
    other.join();
    EXPECT_TRUE(acquired.load());
}

TEST(Threads, CreateThreadRunsTheFunctionAndCloseHandleClosesDescriptors)
{
    static std::atomic<int> ran{0};
    unsigned long handle = 0;
    ASSERT_TRUE(CreateThread(&handle, [](void*) -> void* { ran = 1; return nullptr; }, nullptr));
    pthread_join(static_cast<pthread_t>(handle), nullptr);
    EXPECT_EQ(ran.load(), 1);

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_TRUE(CloseHandle(fds[0]));
    EXPECT_FALSE(CloseHandle(fds[0]));
    CloseHandle(fds[1]);
}

}  // namespace
