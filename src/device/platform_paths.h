// The few places where the serial link differs between Linux and macOS.
#pragma once

namespace platform {
const char* DefaultDevicePathFormat();   // "/dev/ttyACM%d" or "/dev/cu.usbmodem%d"
const char* DefaultLockDirectory();      // "/var/lock" or "/private/var/korvalin/lock"
// Creates the lock directory when it is missing.
void EnsureLockDirectory(const char* directory);
// macOS also takes an advisory write lock on the whole port; Linux does not.
bool LockWholePort(int descriptor);
void UnlockWholePort(int descriptor);
// Linux gives a transfer call one time budget for all its waits; macOS gives
// every wait the full time-out.
bool TransferTimeoutIsOneBudget();
// The port scan of FindDevice(-1): 1 when a device was found.
int ScanForDevice();

}  // namespace platform
