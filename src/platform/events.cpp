#include "platform/platform.h"

#include <unistd.h>

namespace platform {

struct timespec DeadlineAfter(unsigned int milliseconds)
{
    struct timespec deadline;
    clock_gettime(EventClock(), &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return deadline;
}

bool DeadlinePassed(const struct timespec& deadline)
{
    struct timespec now;
    clock_gettime(EventClock(), &now);
    return now.tv_sec > deadline.tv_sec ||
           (now.tv_sec == deadline.tv_sec && now.tv_nsec > deadline.tv_nsec);
}

}  // namespace platform

CEventBase::CEventBase(bool initialState, bool autoReset)
    : m_signalled(initialState), m_autoReset(autoReset)
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m_mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    platform::InitEventCondition(&m_condition);
}

CEventBase::~CEventBase()
{
    pthread_cond_destroy(&m_condition);
    pthread_mutex_destroy(&m_mutex);
}

void CEventBase::WakeWaiters()
{
    if (m_autoReset)
        pthread_cond_signal(&m_condition);
    else
        pthread_cond_broadcast(&m_condition);
}

void CEventBase::SetEvent()
{
    pthread_mutex_lock(&m_mutex);
    m_signalled = true;
    WakeWaiters();
    pthread_mutex_unlock(&m_mutex);
}

void CEventBase::ResetEvent()
{
    pthread_mutex_lock(&m_mutex);
    m_signalled = false;
    pthread_mutex_unlock(&m_mutex);
}

void CEventBase::Wait()
{
    pthread_mutex_lock(&m_mutex);
    while (!m_signalled)
        pthread_cond_wait(&m_condition, &m_mutex);
    if (m_autoReset)
        m_signalled = false;
    pthread_mutex_unlock(&m_mutex);
}

unsigned int CEventBase::WaitTimeout(unsigned int milliseconds)
{
    if (milliseconds == 0) {
        pthread_mutex_lock(&m_mutex);
        const bool signalled = m_signalled;
        if (m_autoReset)
            m_signalled = false;
        pthread_mutex_unlock(&m_mutex);
        return signalled ? WAIT_SIGNALLED : WAIT_TIMEOUT_STATUS;
    }

    const struct timespec deadline = platform::DeadlineAfter(milliseconds);
    pthread_mutex_lock(&m_mutex);
    for (;;) {
        if (m_signalled) {
            if (m_autoReset)
                m_signalled = false;
            pthread_mutex_unlock(&m_mutex);
            return WAIT_SIGNALLED;
        }
        if (pthread_cond_timedwait(&m_condition, &m_mutex, &deadline) == ETIMEDOUT) {
            pthread_mutex_unlock(&m_mutex);
            return WAIT_TIMEOUT_STATUS;
        }
    }
}

unsigned int WaitForSingleObject(CEvent* event, unsigned int milliseconds)
{
    return event->WaitTimeout(milliseconds);
}

int WaitForMultipleObjects(unsigned int count, CEvent** events, int waitAll, unsigned int milliseconds)
{
    if (waitAll != 0)
        return static_cast<int>(WAIT_TIMEOUT_STATUS);

    const bool hasDeadline = milliseconds < INFINITE_TIMEOUT;
    struct timespec deadline = {0, 0};
    if (hasDeadline)
        deadline = platform::DeadlineAfter(milliseconds);

    for (;;) {
        for (unsigned int index = 0; index < count; ++index) {
            if (events[index]->WaitTimeout(0) == WAIT_SIGNALLED)
                return static_cast<int>(index);
        }
        if (hasDeadline && platform::DeadlinePassed(deadline))
            return static_cast<int>(WAIT_TIMEOUT_STATUS);
        usleep(1000);
    }
}
