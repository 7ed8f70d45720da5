/*
 * orvo.h - host control library of the four-channel USB ECG patient simulator.
 *
 * The library finds the simulator on a USB CDC-ACM serial port, claims it with a
 * lock file, identifies it and supervises the link. While output runs it computes
 * every sample on the host (40000 samples/s: a main-channel value and a DC/pacing
 * value) and streams them in batches of 700 whenever the device asks.
 *
 * Conventions
 *  - Voltages are millivolts, durations milliseconds, frequencies hertz (for the
 *    ECG functions the heart rate: 1 Hz = 60 beats/min), rates pulses per minute.
 *  - Setters return 0 on success; -1 when no device is open or the output pump did
 *    not become ready within 3000 ms; -2, -3, -4 for the argument or state checks
 *    named at each setter. Ranges are inclusive; nothing is stored on failure.
 *  - Maintenance calls return 1/0; file loaders a sample count or a negative code.
 *  - Records handed to the host are in host byte order.
 *  - Callbacks are plain function pointers without a user-data argument. The graph,
 *    pacing and per-batch frequency callbacks run on the library's pump thread with
 *    the library lock held; a callback may call back into the library.
 *
 * The header compiles as C99 and as C++. The few exports with C++ signatures are
 * declared at the end, inside the __cplusplus section.
 */
#ifndef ORVO_H
#define ORVO_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(ORVO_BUILDING_LIBRARY)
#define ORVO_API __attribute__((visibility("default")))
#else
#define ORVO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------- */
/* Shared types                                                              */
/* ------------------------------------------------------------------------- */

/** Output-function codes held by the engine (ORVOSetOutputFunction). */
typedef enum OutputFunction {
    FUNC_OFF = 0,
    FUNC_SINE = 1,
    FUNC_TRIANGLE = 2,
    FUNC_SQUARE = 3,
    FUNC_PULSE = 4,
    FUNC_TRIANGLE_PULSE = 5,
    FUNC_EXP_DECAY = 6,
    FUNC_ECG_QRS_T = 7,
    FUNC_ECG_PQRST = 8,
    FUNC_IEC227 = 9,
    FUNC_IEC251 = 10,
    FUNC_QRS_NOTCHED = 11,
    FUNC_QRS_SINGLE = 12,
    FUNC_BIPOLAR_EXP = 13,
    FUNC_FILE = 14,
    FUNC_DC_RANGE_SWEEP = 15,
    FUNC_IEC247 = 16,
    FUNC_ANE20000 = 17,
    FUNC_FILE_WITH_DC = 18
} OutputFunction;

/** Lead state of an output channel. 0 is the default state; any non-zero value is
 *  the other one. Passed as a 32-bit integer. */
typedef enum OutputLead {
    OUTPUT_LEAD_DEFAULT = 0,
    OUTPUT_LEAD_ALTERNATE = 1
} OutputLead;

/** Patterns of the IEC 60601-2-47 test (0: triangle train, 1..4: beats with heart
 *  rate variability; pattern 4 lasts one hour). */
typedef enum IEC247_PATTERN {
    IEC247_PATTERN_0 = 0,
    IEC247_PATTERN_1 = 1,
    IEC247_PATTERN_2 = 2,
    IEC247_PATTERN_3 = 3,
    IEC247_PATTERN_4 = 4
} IEC247_PATTERN;

/** Identity of the connected device (12 bytes). The serial number text is
 *  "Z%c%c%02X%02X-%02d%04d" of ModelCode[0], ModelCode[1], HexCode[0], HexCode[1],
 *  SerialPrefix, SerialNumber. */
typedef struct MODEL_INFORMATION {
    char ModelCode[2];      /* second and third signature letters ("RN") */
    uint8_t HexCode[2];     /* two code bytes */
    uint32_t SerialNumber;  /* 0..65535 */
    uint32_t SerialPrefix;  /* 0..255 */
} MODEL_INFORMATION;

/** Hardware information of the connected device (20 bytes, one byte value each). */
typedef struct HW_INFORMATION {
    uint32_t HwInfo0;  /* identity page byte 26 */
    uint32_t HwInfo1;  /* identity page byte 27 */
    uint32_t HwInfo2;  /* byte 3 of the reply to the 0xAA 0x03 query */
    uint32_t HwInfo3;  /* identity page byte 24 (ORVOSetHWInformation) */
    uint32_t HwInfo4;  /* identity page byte 25 (ORVOSetHWInformation) */
} HW_INFORMATION;

/** Standalone-playback control record, 64 bytes exactly as sent to the device. */
typedef struct _DEVICE_CONTROL_SETTING {
    uint8_t bytes[64];
} _DEVICE_CONTROL_SETTING;

/** A recording handed over in host memory (ORVOLoadRawData). */
typedef struct RAW_ECG_DATA {
    double sampleRate;  /* samples per second, 100..40000 */
    int32_t count;      /* samples in each array, at least 1 */
    double *mainData;   /* main-channel samples, mV */
    double *dcData;     /* DC-channel samples, mV */
} RAW_ECG_DATA;

typedef void (*ConnectionCallback)(bool connected);
typedef void (*SignalOutputCallback)(double time, double value);
typedef void (*PacingOutputCallback)(double time, double value);
typedef void (*OutputFunctionCallback)(int outputFunction);
typedef void (*FrequencyCallback)(double frequency);
typedef void (*BaselineResetCallback)(int state);
typedef void (*SyncDCOffsetCallback)(int offset);

/* ------------------------------------------------------------------------- */
/* Lifecycle and connection                                                  */
/* ------------------------------------------------------------------------- */

/** Starts the connection manager scanning every port; connect and disconnect are
 *  reported through callback (on the connection thread). Calling it again replaces
 *  the callback. Returns false when the connection thread cannot be created. */
ORVO_API bool ORVOInit(ConnectionCallback callback);

/** Connects to one port number and waits up to timeout ms for the connection.
 *  On time-out the connection manager is stopped (ORVOFree) and false returned. */
ORVO_API bool ORVOConnect(int port, unsigned int timeout);

/** Stops output, ends the connection manager and releases port and lock file.
 *  No final disconnect notification is sent. Safe to call when nothing runs. */
ORVO_API void ORVOFree(void);

/** True while a serial port is open (also during the probe of a candidate). */
ORVO_API bool ORVOIsConnected(void);

/** True while samples are streamed to the device. */
ORVO_API bool ORVOIsPlaying(void);

/** Callback registration; a null pointer unregisters. */
ORVO_API void ORVORegisterSignalOutputCallback(SignalOutputCallback callback);
ORVO_API void ORVORegisterPacingOutputCallback(PacingOutputCallback callback);
ORVO_API void ORVORegisterOutputFunctionCallback(OutputFunctionCallback callback);
ORVO_API void ORVORegisterFrequencyCallback(FrequencyCallback callback);
ORVO_API void RegisterBaselineResetCB(BaselineResetCallback callback);
ORVO_API void RegisterSyncDCOffsetCB(SyncDCOffsetCallback callback);

/** Device path format: a printf format with exactly one %d for the port number,
 *  for instance "/tmp/orvo/ttyACM%d". The scan and the presence test use it; the
 *  presence test lists "<text before %d>*". NULL or "" restores the platform
 *  default ("/dev/ttyACM%d", macOS "/dev/cu.usbmodem%d"). A format with another
 *  conversion, without exactly one %d, or too long is refused: the previous one
 *  stays. */
ORVO_API void ORVOSetDevicePathFormat(const char *format);

/** Directory of the "korvalin.ACM%d.lock" files. NULL or "" restores the platform
 *  default ("/var/lock", macOS "/private/var/korvalin/lock"). A directory too long
 *  for the path buffer is refused. */
ORVO_API void ORVOSetLockDirectory(const char *directory);

/* ------------------------------------------------------------------------- */
/* Output                                                                    */
/* ------------------------------------------------------------------------- */

/** Selects the output function (code not validated; unknown codes play 0 mV).
 *  A non-zero code starts streaming, 0 stops it; while streaming, a new code
 *  takes over at the end of the current period (13 at once). Returns 0, or -1
 *  (no device, or the pump did not become ready within 3000 ms). Sleeps 100 ms
 *  before it returns. */
ORVO_API int ORVOSetOutputFunction(int function);
ORVO_API int ORVOGetOutputFunction(void);

/** Repeat loaded files (FUNC_FILE, FUNC_FILE_WITH_DC); false plays them once. */
ORVO_API void ORVOEnableLoop(bool enable);

/** Standalone playback of functions 1..8 from the device's memory: one period is
 *  generated, uploaded and started. 0 or a code above 8 stops standalone playback.
 *  Returns 0 (also when an upload step failed), or -1 when no device is open or,
 *  should output run, the pump did not become ready. Use it while streaming is
 *  off. */
ORVO_API int ORVOOutputSignal(int outputFunction);

/* ------------------------------------------------------------------------- */
/* Waveform parameters                                                       */
/* ------------------------------------------------------------------------- */
/*
 * Every setter returns 0 on success; -1 when no device is open, or when output
 * runs and the pump did not become ready within 3000 ms; -2 when the (first)
 * argument is outside its inclusive range, shown beside each setter; -3/-4 for
 * the further checks named there. Nothing is stored on failure. Channels are
 * 0..3 (others: -2).
 *
 * While output runs, a change of the ECG shape (QRS, T wave, P duration, PR,
 * QT, P wave, ST deviation) applies at once; every other change applies at the
 * end of the waveform period being played (below 0.15 Hz: at once). Getters
 * return the stored value.
 */

/* Output stage of a channel (sent to the device at once). */
ORVO_API int ORVOSetOutputLead(int channel, OutputLead lead);          /* -2: bad channel or device refused */
ORVO_API int ORVOSetDCOffset(int channel, int offsetMv);               /* -1000..1000; one value for all channels */
ORVO_API int ORVOGetDCOffset(void);                                    /* the last value set */
ORVO_API int ORVOSetDCOffsetVariableMode(int channel, bool on);
ORVO_API bool ORVOGetDCOffsetVariableMode(void);                       /* the last value set, any channel */
ORVO_API int ORVOSetInputImpedanceMode(int channel, int mode);         /* 0..3 */
/** Asks the device: mode 0..3; 0 when the query fails; -1 when the pump did not
 *  become ready. */
ORVO_API int ORVOGetInputImpedanceMode(int channel);
ORVO_API int ORVOSetSignalGroundToGNDGround(int channel, bool on);
/** Asks the device: 1 tied, 0 not tied (or the query failed); 1 also without a
 *  device or when the pump did not become ready. */
ORVO_API int ORVOGetSignalGroundToGNDGround(int channel);

/* Signal */
ORVO_API int ORVOSetAmplitude(double amplitudeMv);                     /* -10..10; -3 baseline-reset test on */
ORVO_API double ORVOGetAmplitude(void);
/** -2 outside 0.017..500, or above 5 while a pulse function (4, 5) is selected;
 *  -3 while a frequency scan runs; -4 while the baseline-reset test runs. The
 *  engine caps it per function (5 Hz pulses/exponential, 6 Hz ECG, 500 Hz) and
 *  reports a capped value through the frequency callback. */
ORVO_API int ORVOSetFrequency(double frequencyHz);
ORVO_API double ORVOGetFrequency(void);
ORVO_API int ORVOSetPulseWidth(double widthMs);                        /* 1..300 */
ORVO_API double ORVOGetPulseWidth(void);

/* ECG shape */
ORVO_API int ORVOSetQRSDuration(double durationMs);                    /* 5..200 */
ORVO_API double ORVOGetQRSDuration(void);
ORVO_API int ORVOSetTWave(double amplitudeMv);                         /* 0..5 */
ORVO_API double ORVOGetTWave(void);
ORVO_API int ORVOSetPDuration(double durationMs);                      /* 50..100 */
ORVO_API double ORVOGetPDuration(void);
/** 0..200. A PR interval below 50 ms also sets the P duration to it; otherwise
 *  a P duration below 50 ms is raised to 50 ms. */
ORVO_API int ORVOSetPRInterval(double intervalMs);
ORVO_API double ORVOGetPRInterval(void);
ORVO_API int ORVOSetQTInterval(double intervalMs);                     /* 100..900 */
ORVO_API double ORVOGetQTInterval(void);
ORVO_API int ORVOSetPWave(double amplitudeMv);                         /* 0..2 */
ORVO_API double ORVOGetPWave(void);
ORVO_API int ORVOSetSTDeviation(double levelMv);                       /* -2..2 */
ORVO_API double ORVOGetSTDeviation(void);
/* The ST segment and T duration are weights: QT minus QRS is shared in their ratio. */
ORVO_API int ORVOSetSTSegment(double durationMs);                      /* 100..900 */
ORVO_API double ORVOGetSTSegment(void);
ORVO_API int ORVOSetTDuration(double durationMs);                      /* 100..900 */
ORVO_API double ORVOGetTDuration(void);

/* Pacing: pulses on the DC channel, overshoot on the main channel. */
/** -700..700, 0 = pacing off. A non-zero value also switches variable-DC mode
 *  on for every channel. */
ORVO_API int ORVOSetPacingAmplitude(double amplitudeMv);
ORVO_API double ORVOGetPacingAmplitude(void);
ORVO_API int ORVOSetPacingDuration(double durationMs);                 /* 0.1..3 */
ORVO_API double ORVOGetPacingDuration(void);
/** 10..360 pulses/min; also ends the synchronisation with the waveform period. */
ORVO_API int ORVOSetPacingRate(unsigned int pulsesPerMinute);
ORVO_API unsigned int ORVOGetPacingRate(void);
/** Paces once per waveform period (from the next applied change); -2 unless
 *  60 x frequency lies in 10..360. */
ORVO_API int ORVOSetPacingRateSynchronized(void);
/** 0 one pulse per period; 1 and 2 a second pulse 150 or 250 ms earlier. */
ORVO_API int ORVOSetPacingPulseMode(int mode);
ORVO_API int ORVOGetPacingPulseMode(void);
ORVO_API int ORVOSetOvershootTimeConstant(unsigned int timeConstantMs); /* 0..100, 0 = no overshoot */
ORVO_API unsigned int ORVOGetOvershootTimeConstant(void);
ORVO_API int ORVOSetOvershootAmplitude(double amplitudeMv);            /* |value| 0..5, stored as a magnitude */
ORVO_API double ORVOGetOvershootAmplitude(void);

/* Tests */
/** Dynamic-range test: selects the triangle (or square) with a sine of the given
 *  peak-to-peak amplitude (0..10, else -2) and frequency (1..60, else -3) on top;
 *  off selects FUNC_OFF. The carrier amplitude is lowered to keep the sum
 *  within 5 mV. */
ORVO_API int ORVOSetDynamicRangeTest(bool on, bool triangle, double amplitudeMv, double frequencyHz);
ORVO_API bool ORVOGetDynamicRangeTest(void);
/** Sine frequency scan from startHz to stopHz (0.67..500: -2, -3) over seconds
 *  (10..180: -4). The sine is selected first in every case; the frequency
 *  callback receives the frequency after every batch and -1.0 at the end, when
 *  output stops. */
ORVO_API int ORVOSetFrequencyScan(bool on, int seconds, double startHz, double stopHz);
ORVO_API bool ORVOGetFrequencyScan(void);

/** Returns every parameter to its default (each step skipped without a device). */
ORVO_API void ORVOReset(void);

/* ------------------------------------------------------------------------- */
/* Respiration                                                               */
/* ------------------------------------------------------------------------- */

/** Sends the respiration settings to the device; false without a device or when
 *  the device refuses them. */
ORVO_API bool SetRespiration(int variation, int frequency, int ratio, int baseline, int apneaTime);
/** Switches respiration simulation on or off on the host side. */
ORVO_API bool EnableRespiration(bool on);
/** Host-side respiration modulation of the ECG functions. Returns 1, or 0 when no
 *  device is open or respRate or ieRatio is below 1 (nothing stored then). */
ORVO_API int SetRespireAlgorithmParam(int respRate, int ieRatio, int apneaSeconds,
                                      int baselinePercent, int amplitudePercent,
                                      int frequencyPercent);
/** Records the use of an external respiration module: 0, or 1 without a device or
 *  when the pump did not become ready. */
ORVO_API int EnableExternalRespireModule(bool on);

/* ------------------------------------------------------------------------- */
/* Multi-channel and special-waveform controls                               */
/* ------------------------------------------------------------------------- */

/* The int results follow the setters: 0, -1 (no device or pump not ready), -2
 * (range). */

/** Stores the DC-offset common-mode flag and re-sends the output stage. */
ORVO_API int SetDCOffsetCommonMode(bool on);
ORVO_API bool GetDCOffsetCommonMode(void);
/** Re-sends the output-stage state (the argument does not change what is sent). */
ORVO_API int SetAllOutputState(unsigned int state);
/** Channel masks have one bit per channel. Enables (ORs into the enable mask) or
 *  disables the given channels; true when the device accepted both the read and
 *  the write. */
ORVO_API bool SetSelectedChannelEnabled(unsigned char channels, bool enable);
/** Writes the enable mask = channels and sets (lead non-zero) or clears their
 *  bits in the lead mask; true when the device accepted it. */
ORVO_API bool SetSelectedChannelLeads(unsigned char channels, OutputLead lead);
/** One index, shared by the IEC 60601-2-27, -2-51 and -2-47 selections, applied
 *  at once; an index outside the table that plays gives 0 mV. */
ORVO_API int SetSpecialWave227(int index);
ORVO_API int SetSpecialWave251(int index);
ORVO_API int SetSpecialWave247(int index);
ORVO_API int GetSpecialWave227(void);
ORVO_API int GetSpecialWave251(void);
ORVO_API int GetSpecialWave247(void);
/** Waveform index (0..9) of the IEC 60601-2-27 table: samples in µV at 720/s. */
ORVO_API const int *GetSpecialWave227Array(int index, int *count, int *rate);
/** Waveform index (0..15) of the IEC 60601-2-51 table: 1000 samples in µV at 1000/s. */
ORVO_API const int *GetSpecialWave251Array(int index, int *count, int *rate);
/** IEC 60601-2-47 pattern in mV at 1000/s, built on first use; null outside 0..4. */
ORVO_API const double *GetSpecialWave247Array(IEC247_PATTERN pattern, int *count, int *rate);
ORVO_API int SetANE20000Lead(int lead);                                /* 0..8, else -1 */
ORVO_API int GetANE20000Lead(void);
/** Baseline-reset test: 1..4 select the sine at 50, 60, 80 or 100 Hz, 1000 mV
 *  peak-to-peak, moved to the DC channel; 0 ends it. -1 without a device. */
ORVO_API int SetBaselineResetTest(int setting);
ORVO_API int GetBaselineResetTest(void);
/** Mains noise on the ECG functions: type 0 none, 1 50 Hz, 3 random, other 60 Hz;
 *  amplitude peak-to-peak 0.01..5. */
ORVO_API int SetECG2_27_Noise(int type, double amplitudeMv);
ORVO_API int GetECG2_27_NoiseFreq(void);
ORVO_API double GetECG2_27_NoiseAmp(void);
ORVO_API int SetECG2_27_AAMIDriftTest(bool on);
ORVO_API bool GetECG2_27_AAMIDriftTest(void);
ORVO_API int SetECG2_27_AAMIDriftTestAmp(double amplitudeMv);          /* 1..8 */
ORVO_API double GetECG2_27_AAMIDriftTestAmp(void);
ORVO_API int SetECG2_27_AAMIDriftTestFreq(double frequencyHz);         /* 0.05..2 */
ORVO_API double GetECG2_27_AAMIDriftTestFreq(void);
ORVO_API double GetDynamicRangeTestAmp(void);
ORVO_API double GetDynamicRangeTestFreq(void);
ORVO_API double GetFreqScanSineStartFreq(void);
ORVO_API double GetFreqScanSineStopFreq(void);
ORVO_API int GetFreqScanSineDuration(void);
/** ECG scan: function 7 from 0.05 to 0.5 Hz over 30 s; off selects FUNC_OFF. */
ORVO_API int SetFreqScanECG(bool on);
ORVO_API bool GetFreqScanECG(void);

/* ------------------------------------------------------------------------- */
/* Device information, calibration and maintenance                           */
/* ------------------------------------------------------------------------- */

/* Results are 1 (true) and 0 (false). Calls that talk to the device while output
 * runs first wait up to 3000 ms for the pump; where that wait fails they return 1
 * having done nothing (as noted). */

/** Copies the connected device's identity; false (info untouched) without one. */
ORVO_API bool ORVOGetDeviceInformation(MODEL_INFORMATION *info);
/** Serial number text of the connected device; one static buffer, rewritten by
 *  every call (not safe against concurrent calls). Reads "Z" without a device. */
ORVO_API const char *ORVOGetSerialNumber(void);
/** Copies the connected device's hardware information; false without one. */
ORVO_API bool ORVOGetHWInformation(HW_INFORMATION *info);
/** Library version packed as bytes 1, 0, 5, 2: 16778498. */
ORVO_API int ORVOGetVersion(void);
/** The open port's descriptor, -1 when none. */
ORVO_API long ORVOGetDeviceHandle(void);
/** Writes the identity page's model record: 1 on success, 0 on failure; 1 when
 *  no device is open or the pump did not become ready (nothing done). */
ORVO_API int ORVOSetDeviceInformation(MODEL_INFORMATION *info);
/** Writes hardware information bytes 3 and 4: 1/0; 0 without a device; 1 when the
 *  pump did not become ready. */
ORVO_API int ORVOSetHWInformation(int first, int second);
/** Writes a channel's variable-DC calibration word: 1/0; 0 without a device; 1
 *  when the pump did not become ready. */
ORVO_API int ORVOWriteDCCalibrationData(int channel, unsigned short value);
/** Reads / writes up to 64 bytes of manufacturing information: 1/0. */
ORVO_API int ORVOReadMfgInfo(unsigned char *buffer, unsigned long length);
ORVO_API int ORVOWriteMfgInfo(const unsigned char *buffer, unsigned long length);
ORVO_API int ORVOSetDCOffsetCalibrationData(int first, int second);   /* always 0 */
/** Switches the device's calibration mode on or off: 1/0. */
ORVO_API int ORVOSetCalibrationMode(bool on);
/** Sets the two output DACs directly (low 16 bits of each): 1/0. */
ORVO_API int ORVOSetOutputDac(int first, int second);
/** Stores one period of the given output function in ROM slot 1 for standalone
 *  use: 1 once the device confirms the slot, 0 on any failure or without a
 *  device; 1 when the pump did not become ready (nothing done). Leaves the output
 *  function at FUNC_OFF. May take up to 16 s while the slot is written. */
ORVO_API int ORVOSaveToStandaloneMode(int function);
/** Resets the parameters and stores the default ECG (function 7, 1 Hz, 2 mV) in
 *  ROM slot 1. Always true. */
ORVO_API bool ORVOSaveDefaultWaveform(void);
/* Firmware update is not part of this library: -1, nothing, 0. */
ORVO_API int ORVOUpdateFwLoadFirmwareFile(const char *path, int *a, int *b, int *c);
ORVO_API void ORVOUpdateFwBurnBinFile(void (*callback)(int, unsigned int, unsigned int));
ORVO_API int ORVOSetFixedDCByDAC(int value);
/** Fills the variable-DC calibration table with its default values. */
ORVO_API void SetDefaultECGDCVariableCalibrationData(void);

/** Clip limits of the ECG functions, mV. */
ORVO_API extern const double g_RangeV4Ch2Off;
ORVO_API extern const double g_RangeV4Ch2On;

/* ------------------------------------------------------------------------- */
/* Recordings, capture and dumps                                             */
/* ------------------------------------------------------------------------- */

/** Loads a recording from host memory: the sample count, -1 for a null pointer, a
 *  count below 1 or an allocation failure, -2 for a rate outside 100..40000 (the
 *  data then stay loaded). */
ORVO_API int ORVOLoadRawData(const RAW_ECG_DATA *raw);
/** Reads the header of a multi-channel text file: the number of channels, or -1..-5.
 *  names receives up to that many 128-character buffers (array new; caller frees). */
ORVO_API int CheckECGTxtChannel(const wchar_t *path, char **names);
/** Loads a binary recording: the sample count, or -1..-4. */
ORVO_API int LoadECGBin(const wchar_t *path);

/** Lends two buffers of length samples to which the pump copies every streamed
 *  sample. False when recording is already on. */
ORVO_API bool EnableRecordRaw(double *acBuffer, double *dcBuffer, int length);
/** Stops recording; once it returns the pump no longer touches the buffers. */
ORVO_API void DisableRecordRaw(void);
ORVO_API int DumpRawData(const double *data, int count, const wchar_t *path);
ORVO_API int OutputRaw(int rate, int count, const double *data, const char *label, const wchar_t *path);
ORVO_API int DumpStandardWaveform(int *data, int count, int rate, const char *label, const wchar_t *path);

/* ------------------------------------------------------------------------- */
/* Text, date and version utilities                                          */
/* ------------------------------------------------------------------------- */

ORVO_API void StringTrimRight(char *s);
ORVO_API void StringTrimLeft(char *s);
ORVO_API void StringTrim(char *s);
ORVO_API int parseBySpace(char *text, char **tokens, int maxTokens);
/** "dd-MMM-yyyy" or "dd.MM.yy": yyyymmdd, or 20110101 when it cannot be parsed. */
ORVO_API int parseDate(char *text, const char *format);
/** "H.mm.ss" or "HH.mm.ss": hhmmss, or 0 when it cannot be parsed. */
ORVO_API int parseTime(char *text, const char *format);
ORVO_API wchar_t UTF8ToUnicodeChar(const char *s, int *length);
ORVO_API void UTF8ToUnicodeBuf(const char *s, wchar_t *out);
ORVO_API bool PressYesNoToContinue(const char *prompt);
ORVO_API void con_init(void);
ORVO_API void con_clear_screen(int a, int b, int c, int d, int e);
ORVO_API void con_set_cursor_position(int x, int y);
ORVO_API void con_display_string(int x, int y, const char *text, int attribute);
ORVO_API void con_hide_cursor(void);

#ifdef __cplusplus
} /* extern "C" */

#include <string>
#include <vector>

/* Exports with C++ signatures. */

/** Loads column channel (0-based) of a multi-channel text file: the sample count,
 *  or -1..-7. */
ORVO_API int LoadECGtxt(char *path, int channel);
/** Loads a single-channel text file: the sample count, or -1..-4. */
ORVO_API int LoadECGtxt(char *path);

ORVO_API std::string StringFormat(std::string format, ...);
ORVO_API void StringToken(const char *text, const char *delimiters, std::vector<std::string> &out);
/** 0 equal, -1 a is older, 1 a is newer, -2 different number of parts. */
ORVO_API int CheckVersion(std::string a, std::string b);
ORVO_API std::string GenerateTempFilePath(const char *name);
#endif

#endif /* ORVO_H */
