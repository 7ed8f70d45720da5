// Periodic POSIX timers delivering real-time signals. Their handlers only mark
// the two process-wide timer events signalled.
#include "platform/platform.h"

#include <csignal>
#include <cstring>

namespace {

void onSigTimer1Timer(int, siginfo_t*, void*)
{
    g_hSigTimer1Event.SetFlagFromSignalHandler();
}

void onSigTimer2Timer(int, siginfo_t*, void*)
{
    g_hSigTimer2Event.SetFlagFromSignalHandler();
}

void TimerSetHandler(int signalNumber, void (*handler)(int, siginfo_t*, void*))
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    action.sa_sigaction = handler;
    sigaction(signalNumber, &action, nullptr);
}

}  // namespace

TimerHandle CreateNewTimer(unsigned int milliseconds, unsigned int& signalNumber)
{
    const int number = static_cast<int>(signalNumber);
    if (number == SIGRTMIN)
        TimerSetHandler(number, onSigTimer1Timer);
    else if (number == SIGRTMIN + 1)
        TimerSetHandler(number, onSigTimer2Timer);

    timer_t timerId;
    struct sigevent event;
    std::memset(&event, 0, sizeof event);
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = number;
    event.sigev_value.sival_ptr = &timerId;
    if (timer_create(CLOCK_REALTIME, &event, &timerId) != 0)
        return nullptr;

    struct itimerspec period;
    period.it_value.tv_sec = milliseconds / 1000;
    period.it_value.tv_nsec = static_cast<long>((static_cast<unsigned long long>(milliseconds) * 1000000ULL) % 1000000000ULL);
    period.it_interval = period.it_value;
    if (timer_settime(timerId, 0, &period, nullptr) != 0) {
        timer_delete(timerId);
        return nullptr;
    }
    return reinterpret_cast<TimerHandle>(timerId);
}

int DeleteTimer(unsigned int, TimerHandle& handle)
{
    if (handle == nullptr)
        return 0;
    return timer_delete(reinterpret_cast<timer_t>(handle));
}
