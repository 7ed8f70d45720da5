#include "platform/platform.h"

namespace platform {

// Condition variables on macOS only wait on the real-time clock.
clockid_t EventClock()
{
    return CLOCK_REALTIME;
}

void InitEventCondition(pthread_cond_t* condition)
{
    pthread_cond_init(condition, nullptr);
}

}  // namespace platform
