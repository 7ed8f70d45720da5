// The device's non-volatile memory: the identity page (flash page 1), the
// EEPROM/flash access layer of the calibration data, and the ROM slots of
// standalone waveforms.
#pragma once

#include "orvo.h"

// The EEPROM and flash access layer. This system has no transport for it, so
// the installed default reports failure at once, without device traffic. A
// working layer (or a test double) is installed with SetStorageAccessLayer;
// FlashErase and the banked DoReadEEPROM / DoWriteEEPROM calls go through it.
struct StorageAccessLayer {
    bool (*flashErase)(unsigned char bank, unsigned int);
    int (*readWords)(unsigned int address, unsigned char bank, unsigned short* words, unsigned long count);
    int (*readBytes)(unsigned int address, unsigned char bank, unsigned char* bytes, unsigned long count);
    int (*writeWords)(unsigned int address, unsigned char bank, unsigned short* words, unsigned long count);
    int (*writeBytes)(unsigned int address, unsigned char bank, unsigned char* bytes, unsigned long count);
};
// Installs layer; nullptr restores the failing default. The layer must stay
// alive while installed.
void SetStorageAccessLayer(const StorageAccessLayer* layer);

bool FlashErase(unsigned char bank, unsigned int);
int DoReadEEPROM(unsigned int address, unsigned char bank, unsigned short* words, unsigned long count);
int DoReadEEPROM(unsigned int address, unsigned char bank, unsigned char* bytes, unsigned long count);
int DoWriteEEPROM(unsigned int address, unsigned char bank, unsigned short* words, unsigned long count);
int DoWriteEEPROM(unsigned int address, unsigned char bank, unsigned char* bytes, unsigned long count);
int DoWriteEEPROM(unsigned int address, unsigned short* words);
int ReadDCVariableCalibrationData(unsigned short* words);
int WriteDCVariableCalibrationData(int channel, unsigned short value);
int ReadECGMfgInfo(unsigned char* buffer, int length);
int WriteECGMfgInfo(const unsigned char* buffer, int length);
int SetDcOffsetCalibration(unsigned char, int);
int getFileSize(const char* path);
bool SetHWInfo(int first, int second);
bool SetModelInfo(const MODEL_INFORMATION* model);
bool DoReadFromROM(int slot, unsigned char* status);
bool WriteToROM(int slot);

constexpr int STANDALONE_ROM_SLOT = 1;
