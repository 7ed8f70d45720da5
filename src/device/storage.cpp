#include "device/storage.h"
#include "device/exchange.h"
#include "device/link.h"
#include "device/protocol.h"
#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <unistd.h>

namespace {

constexpr unsigned char CALIBRATION_BANK = 17;
constexpr unsigned int CALIBRATION_ADDRESS = 32;
constexpr int MFG_INFO_MAX = 64;
constexpr useconds_t PAGE_SETTLE_US = 40000;
constexpr int ROM_POLL_ATTEMPTS = 80;
constexpr unsigned int ROM_POLL_PAUSE_MS = 200;

// The access layer has no transport in this system: every operation reports
// failure at once, without device traffic.
const StorageAccessLayer NO_TRANSPORT = {
    [](unsigned char, unsigned int) { return false; },
    [](unsigned int, unsigned char, unsigned short*, unsigned long) { return 0; },
    [](unsigned int, unsigned char, unsigned char*, unsigned long) { return 0; },
    [](unsigned int, unsigned char, unsigned short*, unsigned long) { return 0; },
    [](unsigned int, unsigned char, unsigned char*, unsigned long) { return 0; },
};
std::atomic<const StorageAccessLayer*> s_accessLayer{&NO_TRANSPORT};

// Reads the identity page with the 64-byte page read.
bool ReadIdentityPage(unsigned char* page)
{
    unsigned char request[REPORT_SIZE] = {PAGE_COMMAND[0], PAGE_COMMAND[1], PAGE_COMMAND[2], PAGE_DIRECTION_READ,
                                          0x00, IDENTITY_PAGE, 0x00, PAGE_LENGTH_PAGE_READ};
    if (WriteData(request, REPORT_SIZE, 1) != REPORT_SIZE)
        return false;
    usleep(PAGE_SETTLE_US);
    return ReadData(page, REPORT_SIZE) == REPORT_SIZE;
}

// Writes the page back; true when the device acknowledged it (0xFF in byte 4).
bool WritePageBack(unsigned char* page, bool settleAfter)
{
    page[3] = PAGE_DIRECTION_WRITE;
    if (WriteData(page, REPORT_SIZE, 1) != REPORT_SIZE)
        return false;
    usleep(PAGE_SETTLE_US);
    unsigned char acknowledgement[REPORT_SIZE];
    if (ReadData(acknowledgement, REPORT_SIZE) != REPORT_SIZE)
        return false;
    if (settleAfter)
        usleep(PAGE_SETTLE_US);
    return acknowledgement[4] == FLAG_SET;
}

}  // namespace

void SetStorageAccessLayer(const StorageAccessLayer* layer)
{
    s_accessLayer = layer != nullptr ? layer : &NO_TRANSPORT;
}

bool FlashErase(unsigned char bank, unsigned int mode)
{
    return s_accessLayer.load()->flashErase(bank, mode);
}

int DoReadEEPROM(unsigned int address, unsigned char bank, unsigned short* words, unsigned long count)
{
    return s_accessLayer.load()->readWords(address, bank, words, count);
}

int DoReadEEPROM(unsigned int address, unsigned char bank, unsigned char* bytes, unsigned long count)
{
    return s_accessLayer.load()->readBytes(address, bank, bytes, count);
}

int DoWriteEEPROM(unsigned int address, unsigned char bank, unsigned short* words, unsigned long count)
{
    return s_accessLayer.load()->writeWords(address, bank, words, count);
}

int DoWriteEEPROM(unsigned int address, unsigned char bank, unsigned char* bytes, unsigned long count)
{
    return s_accessLayer.load()->writeBytes(address, bank, bytes, count);
}

int DoWriteEEPROM(unsigned int, unsigned short*) { return 0; }

int ReadDCVariableCalibrationData(unsigned short* words)
{
    return DoReadEEPROM(CALIBRATION_ADDRESS, CALIBRATION_BANK, words, 4);
}

int WriteDCVariableCalibrationData(int channel, unsigned short value)
{
    unsigned char bytes[2] = {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value & 0xFF)};
    return DoWriteEEPROM(static_cast<unsigned int>((channel + 16) * 2), CALIBRATION_BANK, bytes, 2);
}

int ReadECGMfgInfo(unsigned char* buffer, int length)
{
    // A negative length (a huge one from the exported call) reads nothing.
    const int count = std::max(0, std::min(length, MFG_INFO_MAX));
    return DoReadEEPROM(0, CALIBRATION_BANK, buffer, static_cast<unsigned long>(count));
}

int WriteECGMfgInfo(const unsigned char* buffer, int length)
{
    if (!FlashErase(CALIBRATION_BANK, 0))
        return 0;
    unsigned char copy[MFG_INFO_MAX] = {};
    const int count = std::max(0, std::min(length, MFG_INFO_MAX));
    if (buffer != nullptr)
        std::memcpy(copy, buffer, static_cast<size_t>(count));
    return DoWriteEEPROM(0, CALIBRATION_BANK, copy, static_cast<unsigned long>(count));
}

int SetDcOffsetCalibration(unsigned char, int) { return 0; }
int getFileSize(const char*) { return -1; }

bool SetHWInfo(int first, int second)
{
    unsigned char page[REPORT_SIZE];
    if (!ReadIdentityPage(page))
        return false;
    usleep(PAGE_SETTLE_US);
    if (!FlashErase(IDENTITY_PAGE, 0))
        return false;
    page[PAGE_HW_INFO3] = static_cast<unsigned char>(first & 0xFF);
    page[PAGE_HW_INFO4] = static_cast<unsigned char>(second & 0xFF);
    if (!WritePageBack(page, true))
        return false;
    g_ModuleHWInfo.HwInfo3 = static_cast<uint32_t>(first);
    g_ModuleHWInfo.HwInfo4 = static_cast<uint32_t>(second);
    return true;
}

bool SetModelInfo(const MODEL_INFORMATION* model)
{
    unsigned char page[REPORT_SIZE];
    if (!ReadIdentityPage(page))
        return false;
    if (!FlashErase(IDENTITY_PAGE, 0))
        return false;
    page[PAGE_MAKER] = 'Z';
    page[PAGE_MODEL_CODE] = static_cast<unsigned char>(model->ModelCode[0]);
    page[PAGE_MODEL_CODE + 1] = static_cast<unsigned char>(model->ModelCode[1]);
    page[PAGE_HEX_CODE] = model->HexCode[0];
    page[PAGE_HEX_CODE + 1] = model->HexCode[1];
    page[PAGE_SERIAL_PREFIX] = static_cast<unsigned char>(model->SerialPrefix & 0xFF);
    PutBigEndian16(page + PAGE_SERIAL_NUMBER, model->SerialNumber & 0xFFFF);
    page[4] = 0x00;
    if (!WritePageBack(page, false))
        return false;
    std::memcpy(&g_ModelInfo, model, sizeof g_ModelInfo);
    return true;
}

bool DoReadFromROM(int slot, unsigned char* status)
{
    const unsigned char query[6] = {0xEA, 0x00, 0x07, 0x00, static_cast<unsigned char>(slot & 0xFF), 0x00};
    unsigned char reply[REPORT_SIZE];
    if (!Exchange(query, sizeof query, reply, REPORT_SIZE))
        return false;
    *status = reply[5];
    return reply[0] == 0xEA && reply[3] == FLAG_SET;
}

// A store that no status query confirms within the 80 polls is reported as a
// failure: the waveform may not be in the slot.
bool WriteToROM(int slot)
{
    const unsigned char store[5] = {0xEA, 0xFF, 0x07, 0x00, static_cast<unsigned char>(slot & 0xFF)};
    unsigned char reply[REPORT_SIZE];
    if (!Exchange(store, sizeof store, reply, REPORT_SIZE))
        return false;
    for (int attempt = 0; attempt < ROM_POLL_ATTEMPTS; ++attempt) {
        unsigned char status = 0;
        if (DoReadFromROM(slot, &status))
            return true;
        SleepEx(ROM_POLL_PAUSE_MS);
    }
    return false;
}
