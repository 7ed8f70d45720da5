// Windows-style synchronisation primitives on POSIX threads: events, waits,
// threads, sleeps, critical sections and timers. The rest of the library never
// calls the thread library directly.
#pragma once

#include <pthread.h>
#include <time.h>
#include <cerrno>

// Result of a wait that saw its event signalled; otherwise WAIT_TIMEOUT_STATUS.
constexpr unsigned int WAIT_SIGNALLED = 0;
constexpr unsigned int WAIT_TIMEOUT_STATUS = ETIMEDOUT;  // 110 on Linux, 60 on macOS
constexpr unsigned int INFINITE_TIMEOUT = 0xFFFFFFFFu;

class CEvent {
public:
    virtual void SetEvent() = 0;
    virtual void ResetEvent() = 0;
    virtual void Wait() = 0;
    virtual unsigned int WaitTimeout(unsigned int milliseconds) = 0;

protected:
    ~CEvent() = default;  // destroyed through the concrete type only
};

// Common body of both event kinds; autoReset decides whether a successful
// wait consumes the signal.
class CEventBase : public CEvent {
public:
    void SetEvent() override;
    void ResetEvent() override;
    void Wait() override;
    unsigned int WaitTimeout(unsigned int milliseconds) override;
    // For the timer signal handlers: marks the event signalled without a lock
    // or wake-up (neither is allowed inside a signal handler); a waiter notices
    // it at its next poll.
    void SetFlagFromSignalHandler() { m_signalled = true; }

protected:
    CEventBase(bool initialState, bool autoReset);
    ~CEventBase();

private:
    pthread_mutex_t m_mutex;
    pthread_cond_t m_condition;
    bool m_signalled;
    const bool m_autoReset;

    void WakeWaiters();
};

class CAutoResetEvent final : public CEventBase {
public:
    explicit CAutoResetEvent(bool initialState = false) : CEventBase(initialState, true) {}
};

class CManualResetEvent final : public CEventBase {
public:
    explicit CManualResetEvent(bool initialState = false) : CEventBase(initialState, false) {}
};

// Recursive: a thread that holds it may lock it again and must unlock as often.
class CSimpleCriticalSection {
public:
    CSimpleCriticalSection();
    ~CSimpleCriticalSection();
    CSimpleCriticalSection(const CSimpleCriticalSection&) = delete;
    CSimpleCriticalSection& operator=(const CSimpleCriticalSection&) = delete;
    void Lock();
    void Unlock();

private:
    pthread_mutex_t m_mutex;
};

class CAutoCriticalSection {
public:
    explicit CAutoCriticalSection(CSimpleCriticalSection& section) : m_section(section) { m_section.Lock(); }
    ~CAutoCriticalSection() { m_section.Unlock(); }
    CAutoCriticalSection(const CAutoCriticalSection&) = delete;
    CAutoCriticalSection& operator=(const CAutoCriticalSection&) = delete;

private:
    CSimpleCriticalSection& m_section;
};

unsigned int WaitForSingleObject(CEvent* event, unsigned int milliseconds);
// Returns the index of the first signalled event, or WAIT_TIMEOUT_STATUS.
// waitAll is not supported and times out at once.
int WaitForMultipleObjects(unsigned int count, CEvent** events, int waitAll, unsigned int milliseconds);

// Sleeps the whole time, resuming after signal interruptions.
void SleepEx(unsigned int milliseconds);

bool CreateThread(unsigned long* handle, void* (*start)(void*), void* argument);
void CloseThread(unsigned long handle);
bool CloseHandle(long handle);

// Periodic timers that signal g_hSigTimer1Event / g_hSigTimer2Event.
// Linux: the handle is a POSIX timer id and signalNumber SIGRTMIN / SIGRTMIN+1
// selects the event; macOS: a dispatch source, signal numbers 30 / 31.
using TimerHandle = void*;
TimerHandle CreateNewTimer(unsigned int milliseconds, unsigned int& signalNumber);
int DeleteTimer(unsigned int signalNumber, TimerHandle& handle);

extern CAutoResetEvent g_hSigTimer1Event;
extern CAutoResetEvent g_hSigTimer2Event;

namespace platform {
// The clock that event waits use (Linux: monotonic; macOS: real time) and the
// matching condition-variable set-up.
clockid_t EventClock();
void InitEventCondition(pthread_cond_t* condition);
// Absolute deadline, milliseconds from now, on the event clock.
struct timespec DeadlineAfter(unsigned int milliseconds);
bool DeadlinePassed(const struct timespec& deadline);
}  // namespace platform
