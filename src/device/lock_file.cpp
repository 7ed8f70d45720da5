// The lock file that keeps two processes off one port. It holds the owner's
// process id as 4 raw bytes; a file whose owner is gone is stale and replaced.
#include "device/link_state.h"
#include "device/platform_paths.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class ClaimResult { Claimed, Refused, Retry };

ClaimResult TryClaim(const char* path)
{
    const int descriptor = open(path, O_RDWR | O_CREAT | O_EXCL, 0600);
    if (descriptor >= 0) {
        const int pid = static_cast<int>(getpid());
        if (write(descriptor, &pid, sizeof pid) == static_cast<ssize_t>(sizeof pid)) {
            g_nLockFile = descriptor;
            return ClaimResult::Claimed;
        }
        close(descriptor);
        unlink(path);
        return ClaimResult::Refused;
    }
    if (errno != EEXIST)
        return ClaimResult::Refused;

    const int existing = open(path, O_RDWR);
    if (existing < 0)
        return ClaimResult::Refused;
    int owner = 0;
    const ssize_t got = read(existing, &owner, sizeof owner);
    close(existing);
    if (got < static_cast<ssize_t>(sizeof owner))
        return ClaimResult::Retry;  // unreadable owner: the file stays and blocks the port
    if (kill(owner, 0) == 0)
        return ClaimResult::Refused;  // the owner lives
    unlink(path);                     // stale: its owner is gone
    return ClaimResult::Retry;
}

}  // namespace

bool LockDeviceFile(int port)
{
    char path[LOCK_PATH_SIZE];
    if (!FormatLockFilePath(port, path, sizeof path))
        return false;
    std::memcpy(g_szLockFilePath, path, sizeof path);

    for (int attempt = 0; attempt < 2; ++attempt) {
        switch (TryClaim(path)) {
        case ClaimResult::Claimed:
            return true;
        case ClaimResult::Refused:
            return false;
        case ClaimResult::Retry:
            break;
        }
    }
    return false;
}

void UnlockDeviceFile()
{
    if (g_nLockFile < 0)
        return;
    close(g_nLockFile);
    g_nLockFile = -1;
    unlink(g_szLockFilePath);
    g_szLockFilePath[0] = '\0';
}

void UnlockDevice()
{
    UnlockDeviceFile();
    const long descriptor = g_hDevice.load();
    if (descriptor != -1)
        platform::UnlockWholePort(static_cast<int>(descriptor));
}
