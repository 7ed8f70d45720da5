// Internal state of the serial link, shared by its source files only.
#pragma once

#include <mutex>

#include "device/link.h"

extern char g_szDevicePath[DEVICE_PATH_SIZE];  // identified port, "" while none
extern char g_szLockFilePath[LOCK_PATH_SIZE];  // lock file held by this process
extern int g_nLockFile;                        // its descriptor; -1 = none

std::mutex& LinkMutex();
void SetDevicePath(const char* path);
