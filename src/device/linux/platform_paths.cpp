#include "device/link.h"
#include "device/platform_paths.h"

#include <sys/stat.h>

namespace platform {

const char* DefaultDevicePathFormat()
{
    return "/dev/ttyACM%d";
}

const char* DefaultLockDirectory()
{
    return "/var/lock";
}

void EnsureLockDirectory(const char* directory)
{
    struct stat info;
    if (stat(directory, &info) != 0)
        mkdir(directory, 0755);
}

bool LockWholePort(int)
{
    return true;
}

void UnlockWholePort(int)
{
}

bool TransferTimeoutIsOneBudget()
{
    return true;
}

int ScanForDevice()
{
    for (int port = 0; port <= MAX_PORT_NUMBER; ++port) {
        if (DoFindDevice(port))
            return 1;
    }
    return 0;
}

}  // namespace platform
