// Device identity, version, calibration and standalone storage.
#include "api/setter_guard.h"
#include "device/exchange.h"
#include "device/link.h"
#include "device/output_stage.h"
#include "device/protocol.h"
#include "device/standalone.h"
#include "device/storage.h"
#include "engine/parameters.h"
#include "orvo.h"

#include <cstdio>
#include <cstring>

extern "C" {

ORVO_API bool ORVOGetDeviceInformation(MODEL_INFORMATION* info)
{
    if (!DeviceIsConnected() || info == nullptr)
        return false;
    std::memcpy(info, &g_ModelInfo, sizeof *info);
    return true;
}

ORVO_API const char* ORVOGetSerialNumber(void)
{
    static char serialNumber[32];
    MODEL_INFORMATION model;
    std::memset(&model, 0, sizeof model);
    ORVOGetDeviceInformation(&model);
    std::snprintf(serialNumber, sizeof serialNumber, "Z%c%c%02X%02X-%02d%04d", model.ModelCode[0],
                  model.ModelCode[1], model.HexCode[0], model.HexCode[1], static_cast<int>(model.SerialPrefix),
                  static_cast<int>(model.SerialNumber));
    return serialNumber;
}

ORVO_API bool ORVOGetHWInformation(HW_INFORMATION* info)
{
    if (!DeviceIsConnected() || info == nullptr)
        return false;
    std::memcpy(info, &g_ModuleHWInfo, sizeof *info);
    return true;
}

ORVO_API long ORVOGetDeviceHandle(void)
{
    CAutoCriticalSection lock(g_CriticalSection);
    return g_hDevice.load();
}

ORVO_API int ORVOSetDeviceInformation(MODEL_INFORMATION* info)
{
    SetterGuard guard;
    if (!guard.PumpReady() || !DeviceIsConnected())
        return 1;
    if (info == nullptr)
        return 0;
    return SetModelInfo(info) ? 1 : 0;
}

// The identity-page and calibration writes take the lock and then wait for the
// pump's request, like the setters: waiting before the lock would let the pump
// serve that request first, and the write's exchanges would then race the
// pump's read of the next one.
ORVO_API int ORVOSetHWInformation(int first, int second)
{
    SetterGuard guard;
    if (!guard.PumpReady())
        return 1;
    if (!DeviceIsConnected())
        return 0;
    return SetHWInfo(first, second) ? 1 : 0;
}

ORVO_API int ORVOWriteDCCalibrationData(int channel, unsigned short value)
{
    SetterGuard guard;
    if (!guard.PumpReady())
        return 1;
    if (!DeviceIsConnected())
        return 0;
    return WriteDCVariableCalibrationData(channel, value);
}

ORVO_API int ORVOReadMfgInfo(unsigned char* buffer, unsigned long length)
{
    CAutoCriticalSection lock(g_CriticalSection);
    return ReadECGMfgInfo(buffer, static_cast<int>(length));
}

ORVO_API int ORVOWriteMfgInfo(const unsigned char* buffer, unsigned long length)
{
    CAutoCriticalSection lock(g_CriticalSection);
    return WriteECGMfgInfo(buffer, static_cast<int>(length));
}

ORVO_API int ORVOSetDCOffsetCalibrationData(int first, int second)
{
    CAutoCriticalSection lock(g_CriticalSection);
    return SetDcOffsetCalibration(static_cast<unsigned char>(first & 0xFF), second);
}

// The argument is passed on: switching calibration mode off must be possible.
ORVO_API int ORVOSetCalibrationMode(bool on)
{
    SetterGuard guard;
    if (!guard.PumpReady())
        return 0;
    return SetCalibrationMode(on) ? 1 : 0;
}

ORVO_API int ORVOSetOutputDac(int first, int second)
{
    SetterGuard guard;
    if (!guard.PumpReady())
        return 0;
    return SetOutputDac(first, second) ? 1 : 0;
}

ORVO_API int ORVOSaveToStandaloneMode(int function)
{
    SetterGuard guard;
    if (!guard.PumpReady())
        return 1;
    if (!DeviceIsConnected())
        return 0;
    g_MainOutput = static_cast<uint32_t>(function);
    if (!WriteWaveformInfo() || !WriteRawData())
        return 0;
    g_MainOutput = FUNC_OFF;
    _DEVICE_CONTROL_SETTING setting;
    if (!GetDeviceControlSetting(&setting))
        return 0;
    setting.bytes[4] = 0;
    unsigned char reply[REPORT_SIZE];
    if (!Exchange(setting.bytes, REPORT_SIZE, reply, REPORT_SIZE))
        return 0;
    return WriteToROM(STANDALONE_ROM_SLOT) ? 1 : 0;
}

ORVO_API bool ORVOSaveDefaultWaveform(void)
{
    ORVOReset();
    ORVOSetFrequency(1.0);
    ORVOSetAmplitude(2.0);
    for (int channel = 0; channel < 4; ++channel) {
        ORVOSetOutputLead(channel, OUTPUT_LEAD_DEFAULT);
        ORVOSetInputImpedanceMode(channel, 0);
    }
    ORVOSaveToStandaloneMode(FUNC_ECG_QRS_T);
    return true;
}

ORVO_API int ORVOUpdateFwLoadFirmwareFile(const char*, int*, int*, int*)
{
    return -1;
}

ORVO_API void ORVOUpdateFwBurnBinFile(void (*)(int, unsigned int, unsigned int))
{
}

ORVO_API int ORVOSetFixedDCByDAC(int)
{
    return 0;
}

}  // extern "C"
