// Periodic timers as dispatch sources on the default-priority global queue.
#include "platform/platform.h"

#include <dispatch/dispatch.h>

TimerHandle CreateNewTimer(unsigned int milliseconds, unsigned int& signalNumber)
{
    dispatch_queue_t queue = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    dispatch_source_t source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, queue);
    if (source == nullptr)
        return nullptr;
    const uint64_t interval = static_cast<uint64_t>(milliseconds) * NSEC_PER_MSEC;
    dispatch_source_set_timer(source, dispatch_time(DISPATCH_TIME_NOW, 0), interval, 1000000);
    if (signalNumber == 30)
        dispatch_source_set_event_handler(source, ^{ g_hSigTimer1Event.SetEvent(); });
    else if (signalNumber == 31)
        dispatch_source_set_event_handler(source, ^{ g_hSigTimer2Event.SetEvent(); });
    dispatch_resume(source);
    return reinterpret_cast<TimerHandle>(source);
}

int DeleteTimer(unsigned int, TimerHandle& handle)
{
    if (handle != nullptr)
        dispatch_source_cancel(reinterpret_cast<dispatch_source_t>(handle));
    return 0;
}
