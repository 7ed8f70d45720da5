// Link state shared by the connection thread, the monitor and the API, and the
// configurable locations of ports and lock files.
#include "device/link.h"
#include "device/link_state.h"
#include "device/platform_paths.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

std::atomic<long> g_hDevice{-1};
unsigned int g_nDeviceReadTimeout = 200;
unsigned int g_nDeviceWriteTimeout = 200;
MODEL_INFORMATION g_ModelInfo;
HW_INFORMATION g_ModuleHWInfo;
unsigned char s_DeviceHWInfo[64];

char g_szDevicePath[DEVICE_PATH_SIZE];
char g_szLockFilePath[LOCK_PATH_SIZE];
int g_nLockFile = -1;

namespace {

// Configured locations and the leaf lock for the paths (the monitor reads the
// device path while the connection thread may be closing the port). Never
// destroyed: the library's threads may still use them while the process exits.
struct LinkSettings {
    std::mutex mutex;
    std::string devicePathFormat;  // empty: platform default
    std::string lockDirectory;     // empty: platform default
};

LinkSettings& Settings()
{
    static LinkSettings* settings = new LinkSettings;
    return *settings;
}

const char* CurrentFormat()
{
    return Settings().devicePathFormat.empty() ? platform::DefaultDevicePathFormat() : Settings().devicePathFormat.c_str();
}

// Accepts a format with exactly one %d and no other conversion.
bool IsValidDeviceFormat(const char* format)
{
    int conversions = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%')
            continue;
        if (p[1] != 'd')
            return false;
        ++conversions;
        ++p;
    }
    if (conversions != 1)
        return false;
    // The longest port number must still fit the path buffer.
    return std::strlen(format) - 2 + 3 < DEVICE_PATH_SIZE;
}

}  // namespace

std::mutex& LinkMutex()
{
    return Settings().mutex;
}

bool FormatDevicePath(int port, char* out, size_t size)
{
    std::lock_guard<std::mutex> guard(Settings().mutex);
    const int written = std::snprintf(out, size, CurrentFormat(), port);
    return written >= 0 && static_cast<size_t>(written) < size;
}

void DevicePathPrefix(char* out, size_t size)
{
    std::lock_guard<std::mutex> guard(Settings().mutex);
    const char* format = CurrentFormat();
    const char* conversion = std::strstr(format, "%d");
    const size_t length = conversion ? static_cast<size_t>(conversion - format) : std::strlen(format);
    std::snprintf(out, size, "%.*s", static_cast<int>(length), format);
}

bool FormatLockFilePath(int port, char* out, size_t size)
{
    std::string directory;
    {
        std::lock_guard<std::mutex> guard(Settings().mutex);
        directory = Settings().lockDirectory.empty() ? platform::DefaultLockDirectory() : Settings().lockDirectory;
    }
    platform::EnsureLockDirectory(directory.c_str());
    const int written = std::snprintf(out, size, "%s/korvalin.ACM%d.lock", directory.c_str(), port);
    return written >= 0 && static_cast<size_t>(written) < size;
}

void CopyDevicePath(char* out, size_t size)
{
    std::lock_guard<std::mutex> guard(Settings().mutex);
    std::snprintf(out, size, "%s", g_szDevicePath);
}

void SetDevicePath(const char* path)
{
    std::lock_guard<std::mutex> guard(Settings().mutex);
    std::snprintf(g_szDevicePath, sizeof g_szDevicePath, "%s", path);
}

extern "C" ORVO_API void ORVOSetDevicePathFormat(const char* format)
{
    std::lock_guard<std::mutex> guard(Settings().mutex);
    if (format == nullptr || format[0] == '\0') {
        Settings().devicePathFormat.clear();
        return;
    }
    if (IsValidDeviceFormat(format))
        Settings().devicePathFormat = format;
}

extern "C" ORVO_API void ORVOSetLockDirectory(const char* directory)
{
    std::lock_guard<std::mutex> guard(Settings().mutex);
    if (directory == nullptr || directory[0] == '\0') {
        Settings().lockDirectory.clear();
        return;
    }
    // Room for "/korvalin.ACM127.lock" and the terminator.
    if (std::strlen(directory) + std::strlen("/korvalin.ACM127.lock") < LOCK_PATH_SIZE)
        Settings().lockDirectory = directory;
}
