// Finding the simulator: probe a port (open, claim, configure, identify), scan
// the port numbers, tell whether the identified port is still listed, close it.
#include "device/link_state.h"
#include "device/platform_paths.h"
#include "device/port_listing.h"
#include "platform/platform.h"

#include <aio.h>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

void ConfigureLine(int descriptor)
{
    struct termios settings;
    tcgetattr(descriptor, &settings);
    settings.c_iflag |= IGNPAR;
    settings.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST | ONLCR);
    settings.c_cflag &= ~static_cast<tcflag_t>(CLOCAL);
    settings.c_lflag = 0;
    settings.c_cc[VEOF] = 4;
    cfsetospeed(&settings, B115200);
    tcsetattr(descriptor, TCSANOW, &settings);
}

}  // namespace

int DoFindDevice(int port)
{
    char path[DEVICE_PATH_SIZE];
    std::memset(path, 0, sizeof path);
    if (!FormatDevicePath(port, path, sizeof path))
        return 0;

    const int descriptor = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0)
        return 0;
    g_hDevice.store(descriptor);

    if (!LockDeviceFile(port) || !platform::LockWholePort(descriptor)) {
        DeviceClose();
        return 0;
    }
    DeviceCancelIO();
    ConfigureLine(descriptor);

    if (!IsTargetDevice()) {
        DeviceClose();
        return 0;
    }
    SetDevicePath(path);
    return 1;
}

int FindDevice(int port)
{
    if (port == -1)
        return platform::ScanForDevice();
    return DoFindDevice(port);
}

int DeviceConnect(int port, int attempts)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (FindDevice(port))
            return 1;
        usleep(1000000);
    }
    return 0;
}

void DeviceClose()
{
    // The monitor and the connection thread may both close a vanished port;
    // the lock makes one of them do it.
    std::lock_guard<std::mutex> guard(LinkMutex());
    const long descriptor = g_hDevice.load();
    if (descriptor == -1)
        return;
    UnlockDevice();
    g_szDevicePath[0] = '\0';
    CloseHandle(descriptor);
    g_hDevice.store(-1);
}

bool DeviceIsConnected()
{
    return g_hDevice.load() != -1;
}

bool DeviceCheckPath(const char* path)
{
    std::lock_guard<std::mutex> guard(LinkMutex());
    if (g_szDevicePath[0] == '\0')
        return false;
    return std::strcmp(path, g_szDevicePath) == 0;
}

bool DeviceIsAlive()
{
    bool alive = false;
    ForEachListedPort([&](const char* line) {
        alive = DeviceCheckPath(line);
        return !alive;
    });
    return alive;
}

int DeviceCancelIO()
{
    const long descriptor = g_hDevice.load();
    if (descriptor == -1)
        return -1;
    return aio_cancel(static_cast<int>(descriptor), nullptr);
}
