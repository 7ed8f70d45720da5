#include "device/link.h"
#include "device/platform_paths.h"
#include "device/port_listing.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

const char* DefaultDevicePathFormat()
{
    return "/dev/cu.usbmodem%d";
}

const char* DefaultLockDirectory()
{
    return "/private/var/korvalin/lock";
}

void EnsureLockDirectory(const char* directory)
{
    struct stat info;
    if (stat(directory, &info) == 0)
        return;
    // The default lives two levels below an existing folder; create both.
    char parent[512];
    std::snprintf(parent, sizeof parent, "%s", directory);
    char* slash = std::strrchr(parent, '/');
    if (slash != nullptr && slash != parent) {
        *slash = '\0';
        mkdir(parent, 0755);
    }
    mkdir(directory, 0755);
}

static bool SetWholePortLock(int descriptor, short type)
{
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return fcntl(descriptor, F_SETLK, &lock) == 0;
}

bool LockWholePort(int descriptor)
{
    return SetWholePortLock(descriptor, F_WRLCK);
}

void UnlockWholePort(int descriptor)
{
    SetWholePortLock(descriptor, F_UNLCK);
}

bool TransferTimeoutIsOneBudget()
{
    return false;
}

// macOS numbers its modem ports sparsely: probe only the listed ones.
int ScanForDevice()
{
    int found = 0;
    ForEachListedPort([&](const char* line) {
        int port = 0;
        if (ParsePortNumber(line, &port) && DoFindDevice(port))
            found = 1;
        return found == 0;
    });
    return found;
}

}  // namespace platform
