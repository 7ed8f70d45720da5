// Constants of the wire protocol shared by the device commands.
#pragma once

#include <cstddef>

constexpr int REPORT_SIZE = 64;          // every reply unless a command says otherwise
constexpr int IDENTITY_REPLY_SIZE = 12;  // identity query and watchdog
constexpr int HWINFO_QUERY_REPLY_SIZE = 5;
constexpr unsigned int WATCHDOG_TIMEOUT_MS = 2000;

constexpr unsigned char IDENTITY_QUERY[3] = {0x55, 0x00, 0x00};
constexpr char DEVICE_SIGNATURE[3] = {'Z', 'R', 'N'};
constexpr size_t SIGNATURE_OFFSET = 4;   // in the identity reply

// Flash-page command header
constexpr unsigned char PAGE_COMMAND[3] = {0x12, 0x55, 0xAA};
constexpr unsigned char PAGE_DIRECTION_READ = 0x00;
constexpr unsigned char PAGE_DIRECTION_WRITE = 0xFF;
constexpr unsigned char IDENTITY_PAGE = 1;
constexpr unsigned char PAGE_LENGTH_SHORT_READ = 0x20;  // 12-byte read of the identity page
constexpr unsigned char PAGE_LENGTH_PAGE_READ = 0x0C;   // 64-byte page reads

// Identity page byte positions
constexpr size_t PAGE_MAKER = 16;
constexpr size_t PAGE_MODEL_CODE = 17;
constexpr size_t PAGE_HEX_CODE = 19;
constexpr size_t PAGE_SERIAL_PREFIX = 21;
constexpr size_t PAGE_SERIAL_NUMBER = 22;
constexpr size_t PAGE_HW_INFO3 = 24;
constexpr size_t PAGE_HW_INFO4 = 25;
constexpr size_t PAGE_HW_INFO0 = 26;
constexpr size_t PAGE_HW_INFO1 = 27;

constexpr unsigned char HWINFO_QUERY[2] = {0xAA, 0x03};

// Output-stage block
constexpr size_t STAGE_WRITE_MARKER = 1;
constexpr size_t STAGE_OUTPUT_MODE = 2;
constexpr size_t STAGE_SAMPLE_RATE = 5;
constexpr size_t STAGE_CHANNEL_BLOCKS = 32;
constexpr size_t CHANNEL_BLOCK_SIZE = 8;
constexpr unsigned char OUTPUT_MODE_PLAYING = 0x01;
constexpr unsigned char OUTPUT_MODE_OFF = 0x08;
constexpr unsigned char FLAG_SET = 0xFF;
constexpr unsigned char FLAG_CLEAR = 0x00;

// Streaming
constexpr int SAMPLES_PER_PACKET = 14;
constexpr int PACKETS_PER_BATCH = 50;
constexpr int PACKET_SIZE = 64;
constexpr int BATCH_SIZE = PACKETS_PER_BATCH * PACKET_SIZE;  // 3200 bytes
constexpr int SAMPLES_PER_BATCH = PACKETS_PER_BATCH * SAMPLES_PER_PACKET;  // 700
constexpr int SAMPLE_SIZE = 4;  // DC code, main code: two big-endian 16-bit words
constexpr int PACKET_SAMPLE_BYTES = SAMPLES_PER_PACKET * SAMPLE_SIZE;  // 56
constexpr unsigned char DATA_REQUEST[2] = {0x01, 0x55};

inline void PutBigEndian16(unsigned char* out, unsigned int value)
{
    out[0] = static_cast<unsigned char>((value >> 8) & 0xFF);
    out[1] = static_cast<unsigned char>(value & 0xFF);
}
