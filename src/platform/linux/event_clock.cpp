#include "platform/platform.h"

namespace platform {

// Waits are measured on the monotonic clock so that changes of the wall
// clock neither shorten nor stretch a time-out.
clockid_t EventClock()
{
    return CLOCK_MONOTONIC;
}

void InitEventCondition(pthread_cond_t* condition)
{
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(condition, &attributes);
    pthread_condattr_destroy(&attributes);
}

}  // namespace platform
