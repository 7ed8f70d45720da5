// The serial link to the simulator: discovery, the inter-process lock file,
// line settings, time-limited transport and the exchanges every connection
// needs (identity, watchdog, hardware information). Callers hold
// g_CriticalSection around their exchanges; this layer locks only its own
// small state.
#pragma once

#include <atomic>
#include <cstddef>

#include "orvo.h"

constexpr size_t DEVICE_PATH_SIZE = 512;
constexpr size_t LOCK_PATH_SIZE = 128;
constexpr int MAX_PORT_NUMBER = 127;

extern std::atomic<long> g_hDevice;           // open port descriptor; -1 = none
extern unsigned int g_nDeviceReadTimeout;     // ms
extern unsigned int g_nDeviceWriteTimeout;    // ms
extern MODEL_INFORMATION g_ModelInfo;
extern HW_INFORMATION g_ModuleHWInfo;
extern unsigned char s_DeviceHWInfo[64];

// Port management
int DeviceConnect(int port, int attempts);
int FindDevice(int port);
int DoFindDevice(int port);
void DeviceClose();
bool DeviceIsConnected();
bool DeviceIsAlive();
bool DeviceCheckPath(const char* path);
int DeviceCancelIO();

// Inter-process claim of a port
bool LockDeviceFile(int port);
void UnlockDeviceFile();
void UnlockDevice();

// Transport (byte counts)
int WriteData(const unsigned char* data, int length, int flags);
int ReadDataEx(unsigned char* buffer, int length, unsigned int timeout);
int ReadData(unsigned char* buffer, int length);
void SetDeviceTimeoutSetting(unsigned int readTimeout, unsigned int writeTimeout);

// Exchanges
bool IsTargetDevice();
bool WatchDog();
bool GetHWInfo();

// Where ports and lock files live (overridable through the public API).
// Both copy into the caller's buffer; false when the result does not fit.
bool FormatDevicePath(int port, char* out, size_t size);
void DevicePathPrefix(char* out, size_t size);
bool FormatLockFilePath(int port, char* out, size_t size);
// Copy of the identified port's path ("" when none).
void CopyDevicePath(char* out, size_t size);
