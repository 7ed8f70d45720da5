// The exchanges every connection needs: identity query, watchdog and the
// hardware-information read.
#include "device/link.h"
#include "device/protocol.h"
#include "platform/platform.h"

#include <cstring>
#include <unistd.h>

namespace {

bool HasSignature(const unsigned char* reply)
{
    return std::memcmp(reply + SIGNATURE_OFFSET, DEVICE_SIGNATURE, sizeof DEVICE_SIGNATURE) == 0;
}

// Writes the identity query and reads its 12-byte reply.
bool QueryIdentity(unsigned char* reply, unsigned int timeout)
{
    if (WriteData(IDENTITY_QUERY, sizeof IDENTITY_QUERY, 1) != static_cast<int>(sizeof IDENTITY_QUERY))
        return false;
    std::memset(reply, 0, IDENTITY_REPLY_SIZE);
    return ReadDataEx(reply, IDENTITY_REPLY_SIZE, timeout) == IDENTITY_REPLY_SIZE && HasSignature(reply);
}

}  // namespace

bool IsTargetDevice()
{
    unsigned char reply[IDENTITY_REPLY_SIZE];
    if (!QueryIdentity(reply, g_nDeviceReadTimeout))
        return false;
    g_ModelInfo.ModelCode[0] = static_cast<char>(reply[5]);
    g_ModelInfo.ModelCode[1] = static_cast<char>(reply[6]);
    g_ModelInfo.HexCode[0] = reply[7];
    g_ModelInfo.HexCode[1] = reply[8];
    g_ModelInfo.SerialPrefix = reply[9];
    g_ModelInfo.SerialNumber = static_cast<uint32_t>(reply[10] << 8 | reply[11]);
    return GetHWInfo();
}

bool WatchDog()
{
    unsigned char reply[IDENTITY_REPLY_SIZE];
    return QueryIdentity(reply, WATCHDOG_TIMEOUT_MS);
}

bool GetHWInfo()
{
    const unsigned char pageRead[12] = {PAGE_COMMAND[0], PAGE_COMMAND[1], PAGE_COMMAND[2], PAGE_DIRECTION_READ,
                                        0x00, IDENTITY_PAGE, 0x00, PAGE_LENGTH_SHORT_READ, 0x00, 0x00, 0x00, 0x00};
    if (WriteData(pageRead, sizeof pageRead, 1) != static_cast<int>(sizeof pageRead))
        return false;
    usleep(20000);
    if (ReadData(s_DeviceHWInfo, REPORT_SIZE) != REPORT_SIZE)
        return false;
    g_ModuleHWInfo.HwInfo0 = s_DeviceHWInfo[PAGE_HW_INFO0];
    g_ModuleHWInfo.HwInfo1 = s_DeviceHWInfo[PAGE_HW_INFO1];
    g_ModuleHWInfo.HwInfo3 = s_DeviceHWInfo[PAGE_HW_INFO3];
    g_ModuleHWInfo.HwInfo4 = s_DeviceHWInfo[PAGE_HW_INFO4];

    if (WriteData(HWINFO_QUERY, sizeof HWINFO_QUERY, 1) != static_cast<int>(sizeof HWINFO_QUERY))
        return false;
    usleep(40000);
    unsigned char reply[HWINFO_QUERY_REPLY_SIZE] = {};
    if (ReadData(reply, HWINFO_QUERY_REPLY_SIZE) != HWINFO_QUERY_REPLY_SIZE)
        return false;
    g_ModuleHWInfo.HwInfo2 = reply[3];
    return true;
}
