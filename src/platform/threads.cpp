#include "platform/platform.h"

#include <unistd.h>

CSimpleCriticalSection::CSimpleCriticalSection()
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m_mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

CSimpleCriticalSection::~CSimpleCriticalSection()
{
    pthread_mutex_destroy(&m_mutex);
}

void CSimpleCriticalSection::Lock()
{
    pthread_mutex_lock(&m_mutex);
}

void CSimpleCriticalSection::Unlock()
{
    pthread_mutex_unlock(&m_mutex);
}

void SleepEx(unsigned int milliseconds)
{
    struct timespec request;
    request.tv_sec = milliseconds / 1000;
    request.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    struct timespec remaining;
    while (nanosleep(&request, &remaining) == -1 && errno == EINTR)
        request = remaining;
}

bool CreateThread(unsigned long* handle, void* (*start)(void*), void* argument)
{
    pthread_t thread;
    if (pthread_create(&thread, nullptr, start, argument) != 0)
        return false;
    *handle = static_cast<unsigned long>(thread);
    return true;
}

void CloseThread(unsigned long)
{
}

bool CloseHandle(long handle)
{
    return close(static_cast<int>(handle)) == 0;
}
