// Wire protocol of the simulator as seen from the device side: command bytes,
// lengths, acknowledgement values and timings, all in one place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvo::sim::protocol {

// Most replies and every streaming packet are USB report sized.
constexpr size_t kReportBytes = 64;

// Identity query and watchdog: 0x55 0x00 0x00 -> 12-byte reply.
constexpr uint8_t kIdentityByte0 = 0x55;
constexpr size_t kIdentityRequestBytes = 3;
constexpr size_t kIdentityReplyBytes = 12;
constexpr size_t kIdentityReplyPageOffset = 4;  // reply bytes 4..11 = page bytes 16..23
constexpr size_t kIdentityPageFirst = 16;
constexpr size_t kIdentityPageCount = 8;

// Flash-page commands: 0x12 0x55 0xAA, byte 3 direction, byte 4 status,
// byte 5 page number, byte 7 length byte.
constexpr uint8_t kPageByte0 = 0x12;
constexpr uint8_t kPageByte1 = 0x55;
constexpr uint8_t kPageByte2 = 0xAA;
constexpr size_t kPageDirectionIndex = 3;
constexpr size_t kPageStatusIndex = 4;
constexpr size_t kPageNumberIndex = 5;
constexpr size_t kPageLengthIndex = 7;
constexpr uint8_t kPageWriteBack = 0xFF;
constexpr uint8_t kPageShortReadLength = 0x20;  // the 12-byte read of the identity page
constexpr size_t kPageShortReadBytes = 12;
constexpr size_t kPageHeaderBytes = 8;
constexpr uint8_t kIdentityPageNumber = 1;

// Identity page layout.
constexpr size_t kPageMakerIndex = 16;
constexpr uint8_t kMakerLetter = 'Z';
constexpr size_t kPageModelCodeIndex = 17;
constexpr size_t kPageHexCodeIndex = 19;
constexpr size_t kPageSerialPrefixIndex = 21;
constexpr size_t kPageSerialNumberIndex = 22;
constexpr size_t kPageHwInfoIndex = 24;  // bytes 24..27
constexpr size_t kPageHwInfoCount = 4;

// Hardware-information query: 0xAA 0x03 -> 5 bytes, byte 3 = hw info 2.
constexpr uint8_t kHwInfoByte0 = 0xAA;
constexpr uint8_t kHwInfoByte1 = 0x03;
constexpr size_t kHwInfoRequestBytes = 2;
constexpr size_t kHwInfoReplyBytes = 5;
constexpr size_t kHwInfoReplyValueIndex = 3;

// Output-stage block: 64 bytes beginning 0x00; byte 1 = 0xFF marks a write-back.
constexpr uint8_t kOutputStageByte0 = 0x00;
constexpr size_t kOutputStageWriteIndex = 1;
constexpr uint8_t kOutputStageWriteMarker = 0xFF;
constexpr size_t kOutputModeIndex = 2;
constexpr uint8_t kModeStreaming = 0x01;
constexpr uint8_t kModeOff = 0x08;
constexpr size_t kSampleRateIndex = 5;  // bytes 5..6, big-endian
constexpr uint16_t kDefaultSampleRate = 40000;
constexpr size_t kChannelBlocksIndex = 32;  // four blocks of 8 bytes
constexpr size_t kChannelBlockBytes = 8;
constexpr size_t kChannelCount = 4;

// 0xCC group: byte 1 = 0xFF write / 0x00 read, byte 2 = sub-command.
constexpr uint8_t kCcByte0 = 0xCC;
constexpr size_t kCcSubIndex = 2;
constexpr uint8_t kCcRead = 0x00;
constexpr uint8_t kCcWrite = 0xFF;
constexpr uint8_t kCcReset = 0x0F;
constexpr uint8_t kCcCalibration = 0x06;
constexpr uint8_t kCcDac = 0x07;
constexpr uint8_t kCcChannelState = 0x0D;
constexpr size_t kChannelStateBytes = 6;
constexpr size_t kEnableMaskIndex = 4;
constexpr size_t kLeadMaskIndex = 5;

// Acknowledgement byte of the 0xCC and 0xEA groups.
constexpr size_t kAckIndex = 3;
constexpr uint8_t kAccepted = 0xFF;
constexpr uint8_t kRefused = 0x00;

// 0xEA group (standalone playback, respiration, ROM slots).
constexpr uint8_t kEaByte0 = 0xEA;
constexpr uint8_t kEaWrite = 0xFF;
constexpr uint8_t kEaRead = 0x00;
constexpr uint8_t kEaControl = 0x00;   // control record (64) or stop (5)
constexpr uint8_t kEaInfo = 0x01;      // waveform info (64) or respiration (19)
constexpr uint8_t kEaRawData = 0x04;   // 14 samples (64), echoed
constexpr uint8_t kEaRom = 0x07;       // store (5, write) or slot status (6, read)
constexpr size_t kStopBytes = 5;
constexpr size_t kRespirationBytes = 19;
constexpr size_t kRomStoreBytes = 5;
constexpr size_t kRomStatusBytes = 6;
constexpr size_t kRomSlotIndex = 4;
constexpr size_t kRomStateIndex = 5;
constexpr uint8_t kRomSlotEmpty = 0x00;
constexpr uint8_t kRomSlotStored = 0x01;
constexpr size_t kRunFlagIndex = 4;
constexpr size_t kRawIndexIndex = 6;       // bytes 6..7, first sample index
constexpr size_t kInfoSamplesIndex = 6;    // waveform info bytes 6..7, samples per period
constexpr size_t kRespRateIndex = 8;
constexpr size_t kRespVariationIndex = 9;
constexpr size_t kRespRatioIndex = 10;
constexpr size_t kRespBaselineIndex = 11;
constexpr size_t kRespApneaIndex = 12;

// Streaming: 0x01 0x01 packets of 14 samples, 50 to a batch, and the
// device's data request 0x01 0x55.
constexpr uint8_t kStreamByte0 = 0x01;
constexpr uint8_t kPacketByte1 = 0x01;
constexpr uint8_t kRequestByte1 = 0x55;
constexpr size_t kPacketCountIndex = 5;
constexpr uint8_t kSamplesPerPacket = 14;
constexpr size_t kSequenceIndex = 6;  // bytes 6..7, big-endian
constexpr size_t kSamplesIndex = 8;
constexpr size_t kSampleBytes = 4;    // DC code (uint16 BE), main code (int16 BE)
constexpr size_t kPacketsPerBatch = 50;
constexpr size_t kSamplesPerBatch = kPacketsPerBatch * kSamplesPerPacket;  // 700
constexpr uint16_t kStopSequence = 0xFF00;
constexpr uint16_t kZeroDcCode = 0x8000;  // 0 mV on the DC channel

// Signal scale of the sample codes.
constexpr double kMainCodesPerMillivolt = 6400.0;  // at attenuation 1
constexpr double kDcMinMillivolts = -1000.0;
constexpr double kDcSpanMillivolts = 2000.0;
constexpr double kDcFullScaleCode = 65535.0;

// Timings (milliseconds). The host writes each command in one write(), so
// a command sharing its prefix with a longer one is taken as the short form
// only once the line has been quiet this long.
constexpr int kShortFormQuietMs = 5;
// An incomplete frame with no further bytes for this long is resynchronised.
constexpr int kStaleFrameMs = 100;
// While nobody has the port open, look again this often.
constexpr int kHangupPollMs = 10;
// A request left unanswered on a silent line for this long is sent again
// (the host may have reopened the port and lost it).
constexpr int kRequestRetryQuietMs = 1000;

}  // namespace orvo::sim::protocol
