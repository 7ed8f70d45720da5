// Device information, version, calibration and maintenance calls, and the
// non-volatile storage beneath them: the identity-page write-backs and the
// EEPROM/flash access layer.
#include "sim_fixture.h"

#include "api/globals.h"
#include "device/link.h"
#include "device/storage.h"
#include "engine/parameters.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

int ConvertVersion(const char* text);

namespace {

using orvo::sim::LogEntry;
using orvo::test::Commands;
using orvo::test::ConnectedTest;
using Bytes = std::vector<uint8_t>;

// ---- a recording access layer ----------------------------------------------

struct AccessCall {
    std::string op;
    unsigned address;
    unsigned bank;
    unsigned long count;
    Bytes bytes;  // bytes written
};

// Records every operation; erase succeeds or fails as told, transfers report
// the count they were asked for (read bytes are filled with 0x5A).
struct RecordingLayer {
    static std::vector<AccessCall> calls;
    static bool eraseSucceeds;
    static std::function<void()> onErase;

    static bool Erase(unsigned char bank, unsigned int mode)
    {
        calls.push_back({"erase", mode, bank, 0, {}});
        if (onErase)
            onErase();
        return eraseSucceeds;
    }
    static int ReadWords(unsigned int address, unsigned char bank, unsigned short* words, unsigned long count)
    {
        calls.push_back({"readWords", address, bank, count, {}});
        std::fill(words, words + count, 0x5A5A);
        return static_cast<int>(count);
    }
    static int ReadBytes(unsigned int address, unsigned char bank, unsigned char* bytes, unsigned long count)
    {
        calls.push_back({"readBytes", address, bank, count, {}});
        std::fill(bytes, bytes + count, 0x5A);
        return static_cast<int>(count);
    }
    static int WriteWords(unsigned int address, unsigned char bank, unsigned short*, unsigned long count)
    {
        calls.push_back({"writeWords", address, bank, count, {}});
        return static_cast<int>(count);
    }
    static int WriteBytes(unsigned int address, unsigned char bank, unsigned char* bytes, unsigned long count)
    {
        calls.push_back({"writeBytes", address, bank, count, Bytes(bytes, bytes + count)});
        return static_cast<int>(count);
    }
    static constexpr StorageAccessLayer layer = {Erase, ReadWords, ReadBytes, WriteWords, WriteBytes};
};
std::vector<AccessCall> RecordingLayer::calls;
bool RecordingLayer::eraseSucceeds = true;
std::function<void()> RecordingLayer::onErase;

// Installs the recording layer for one scope and restores the default after.
class InstalledLayer {
public:
    explicit InstalledLayer(bool eraseSucceeds = true)
    {
        RecordingLayer::calls.clear();
        RecordingLayer::eraseSucceeds = eraseSucceeds;
        RecordingLayer::onErase = nullptr;
        SetStorageAccessLayer(&RecordingLayer::layer);
    }
    ~InstalledLayer()
    {
        SetStorageAccessLayer(nullptr);
        RecordingLayer::onErase = nullptr;
    }
    const std::vector<AccessCall>& calls() const { return RecordingLayer::calls; }
};

bool IsPageRead(const LogEntry& e)
{
    return e.bytes.size() == 64 && e.bytes[0] == 0x12 && e.bytes[1] == 0x55 && e.bytes[2] == 0xAA && e.bytes[3] == 0x00;
}
bool IsPageWrite(const LogEntry& e)
{
    return e.bytes.size() == 64 && e.bytes[0] == 0x12 && e.bytes[1] == 0x55 && e.bytes[2] == 0xAA && e.bytes[3] == 0xFF;
}

bool SameModel(const MODEL_INFORMATION& a, const MODEL_INFORMATION& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

MODEL_INFORMATION Model(char c0, char c1, uint8_t h0, uint8_t h1, uint32_t prefix, uint32_t number)
{
    MODEL_INFORMATION m;
    std::memset(&m, 0, sizeof m);
    m.ModelCode[0] = c0;
    m.ModelCode[1] = c1;
    m.HexCode[0] = h0;
    m.HexCode[1] = h1;
    m.SerialPrefix = prefix;
    m.SerialNumber = number;
    return m;
}

// ---- version ---------------------------------------------------------------

TEST(Version, LibraryVersionIs1_0_5_2Packed)
{
    EXPECT_EQ(ORVOGetVersion(), 16778498);
}

TEST(Version, ConvertVersionPacksFourNumbersWithoutMasking)
{
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"1.0.5.2", 16778498},
        {"2.10.0.255", 0x020A00FF},
        {"1.2.300.4", 0x01032C04},  // 300 << 8 reaches into the second byte
        {"255.255.255.255", -1},
        {nullptr, 0},
        {"", 0},
        {"1.2", 0},  // not four numbers: 0 (the library's choice)
        {"version", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text != nullptr ? c.text : "(null)");
        EXPECT_EQ(ConvertVersion(c.text), c.expected);
    }
}

// ---- without a device ------------------------------------------------------

void BurnCallback(int, unsigned int, unsigned int)
{
    ADD_FAILURE() << "the firmware callback was called";
}

TEST(MaintenanceWithoutDevice, EveryCallGivesItsNoDeviceResult)
{
    MODEL_INFORMATION model;
    std::memset(&model, 0xAA, sizeof model);
    HW_INFORMATION hw;
    std::memset(&hw, 0xAA, sizeof hw);
    unsigned char buffer[16];
    std::memset(buffer, 0xAA, sizeof buffer);

    EXPECT_FALSE(ORVOGetDeviceInformation(&model));
    EXPECT_FALSE(ORVOGetHWInformation(&hw));
    EXPECT_TRUE(std::all_of(reinterpret_cast<uint8_t*>(&model), reinterpret_cast<uint8_t*>(&model + 1),
                            [](uint8_t b) { return b == 0xAA; }));
    EXPECT_TRUE(std::all_of(reinterpret_cast<uint8_t*>(&hw), reinterpret_cast<uint8_t*>(&hw + 1),
                            [](uint8_t b) { return b == 0xAA; }));
    EXPECT_STREQ(ORVOGetSerialNumber(), "Z");
    EXPECT_EQ(ORVOGetDeviceHandle(), -1);

    struct Case {
        const char* call;
        std::function<int()> run;
        int expected;
    };
    const Case cases[] = {
        {"ORVOSetDeviceInformation", [&] { return ORVOSetDeviceInformation(&model); }, 1},
        {"ORVOSetHWInformation", [] { return ORVOSetHWInformation(1, 2); }, 0},
        {"ORVOWriteDCCalibrationData", [] { return ORVOWriteDCCalibrationData(0, 0x1234); }, 0},
        {"ORVOReadMfgInfo", [&] { return ORVOReadMfgInfo(buffer, sizeof buffer); }, 0},
        {"ORVOWriteMfgInfo", [&] { return ORVOWriteMfgInfo(buffer, sizeof buffer); }, 0},
        {"ORVOSetDCOffsetCalibrationData", [] { return ORVOSetDCOffsetCalibrationData(1, 2); }, 0},
        {"ORVOSetCalibrationMode", [] { return ORVOSetCalibrationMode(true); }, 0},
        {"ORVOSetOutputDac", [] { return ORVOSetOutputDac(1, 2); }, 0},
        {"ORVOSaveToStandaloneMode", [] { return ORVOSaveToStandaloneMode(FUNC_SQUARE); }, 0},
        {"ORVOSaveDefaultWaveform", [] { return ORVOSaveDefaultWaveform() ? 1 : 0; }, 1},
        {"ORVOUpdateFwLoadFirmwareFile", [] { return ORVOUpdateFwLoadFirmwareFile(nullptr, nullptr, nullptr, nullptr); }, -1},
        {"ORVOSetFixedDCByDAC", [] { return ORVOSetFixedDCByDAC(1000); }, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.run(), c.expected) << c.call;
    EXPECT_TRUE(std::all_of(buffer, buffer + sizeof buffer, [](uint8_t b) { return b == 0xAA; }));
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_OFF);  // the save stopped before selecting the function
}

TEST(MaintenanceWithoutDevice, FirmwareEntryPointsDoNothing)
{
    int a = 7, b = 8, c = 9;
    EXPECT_EQ(ORVOUpdateFwLoadFirmwareFile("/nonexistent/firmware.bin", &a, &b, &c), -1);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 8);
    EXPECT_EQ(c, 9);
    ORVOUpdateFwBurnBinFile(BurnCallback);
    ORVOUpdateFwBurnBinFile(nullptr);
}

// ---- the EEPROM/flash access layer -----------------------------------------

TEST(StorageAccessLayer, WithoutTransportEveryOperationFailsAndLeavesBuffersUntouched)
{
    unsigned char bytes[64];
    std::memset(bytes, 0xAA, sizeof bytes);
    unsigned short words[4] = {1, 2, 3, 4};
    EXPECT_EQ(ReadECGMfgInfo(bytes, 10), 0);
    EXPECT_EQ(WriteECGMfgInfo(bytes, 10), 0);
    EXPECT_EQ(ReadDCVariableCalibrationData(words), 0);
    EXPECT_EQ(WriteDCVariableCalibrationData(2, 0x1234), 0);
    EXPECT_FALSE(FlashErase(17, 0));
    EXPECT_EQ(SetDcOffsetCalibration(1, 2), 0);
    EXPECT_EQ(getFileSize("/etc/hostname"), -1);
    EXPECT_TRUE(std::all_of(bytes, bytes + 64, [](uint8_t b) { return b == 0xAA; }));
    EXPECT_EQ(words[0], 1);
    EXPECT_EQ(words[3], 4);
}

TEST(StorageAccessLayer, ManufacturingInfoIsLimitedTo64BytesOfBank17)
{
    struct Case {
        int length;
        unsigned long asked;
    };
    const Case cases[] = {{100, 64}, {64, 64}, {10, 10}, {0, 0}, {-1, 0}};
    unsigned char data[128];
    for (int i = 0; i < 128; ++i)
        data[i] = static_cast<unsigned char>(i);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        InstalledLayer layer;
        unsigned char read[128] = {};
        EXPECT_EQ(ReadECGMfgInfo(read, c.length), static_cast<int>(c.asked));
        EXPECT_EQ(WriteECGMfgInfo(data, c.length), static_cast<int>(c.asked));
        const auto& calls = layer.calls();
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[0].op, "readBytes");
        EXPECT_EQ(calls[0].address, 0u);
        EXPECT_EQ(calls[0].bank, 17u);
        EXPECT_EQ(calls[0].count, c.asked);
        EXPECT_EQ(read[c.asked], 0x00);  // nothing read past the limit
        EXPECT_EQ(calls[1].op, "erase");  // the whole bank, before writing
        EXPECT_EQ(calls[1].bank, 17u);
        EXPECT_EQ(calls[2].op, "writeBytes");
        EXPECT_EQ(calls[2].address, 0u);
        EXPECT_EQ(calls[2].bank, 17u);
        EXPECT_EQ(calls[2].bytes, Bytes(data, data + c.asked));
    }
}

TEST(StorageAccessLayer, ManufacturingInfoIsNotWrittenWhenTheEraseFails)
{
    InstalledLayer layer(false);
    const unsigned char data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(WriteECGMfgInfo(data, 8), 0);
    ASSERT_EQ(layer.calls().size(), 1u);
    EXPECT_EQ(layer.calls()[0].op, "erase");
}

TEST(StorageAccessLayer, CalibrationWordsLiveAtByte32OfBank17BigEndian)
{
    InstalledLayer layer;
    struct Case {
        int channel;
        unsigned short value;
        unsigned address;
        Bytes bytes;
    };
    const Case cases[] = {{0, 0xBEEF, 32, {0xBE, 0xEF}}, {2, 0x1234, 36, {0x12, 0x34}}, {3, 0x00FF, 38, {0x00, 0xFF}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel);
        RecordingLayer::calls.clear();
        EXPECT_EQ(WriteDCVariableCalibrationData(c.channel, c.value), 2);
        ASSERT_EQ(layer.calls().size(), 1u);
        EXPECT_EQ(layer.calls()[0].op, "writeBytes");
        EXPECT_EQ(layer.calls()[0].address, c.address);
        EXPECT_EQ(layer.calls()[0].bank, 17u);
        EXPECT_EQ(layer.calls()[0].bytes, c.bytes);
    }
    RecordingLayer::calls.clear();
    unsigned short words[4] = {};
    EXPECT_EQ(ReadDCVariableCalibrationData(words), 4);
    ASSERT_EQ(layer.calls().size(), 1u);
    EXPECT_EQ(layer.calls()[0].op, "readWords");
    EXPECT_EQ(layer.calls()[0].address, 32u);
    EXPECT_EQ(layer.calls()[0].bank, 17u);
    EXPECT_EQ(layer.calls()[0].count, 4u);
}

TEST(StorageAccessLayer, ExportedManufacturingCallsPassTheLengthOn)
{
    InstalledLayer layer;
    unsigned char buffer[64] = {};
    EXPECT_EQ(ORVOReadMfgInfo(buffer, 100), 64);
    EXPECT_EQ(ORVOWriteMfgInfo(buffer, 12), 12);
    ASSERT_EQ(layer.calls().size(), 3u);
    EXPECT_EQ(layer.calls()[0].count, 64u);
    EXPECT_EQ(layer.calls()[2].count, 12u);
}

// ---- with the simulator ----------------------------------------------------

class MaintenanceTest : public ConnectedTest {
protected:
    void SetUp() override
    {
        ConnectedTest::SetUp();
        sim().clearLog();
    }
    std::vector<LogEntry> DeviceCommands() { return Commands(sim().log()); }
    MODEL_INFORMATION DeviceModel()
    {
        MODEL_INFORMATION model;
        std::memset(&model, 0, sizeof model);
        EXPECT_TRUE(ORVOGetDeviceInformation(&model));
        return model;
    }
    HW_INFORMATION DeviceHw()
    {
        HW_INFORMATION hw;
        std::memset(&hw, 0, sizeof hw);
        EXPECT_TRUE(ORVOGetHWInformation(&hw));
        return hw;
    }
};

TEST_F(MaintenanceTest, ReportsTheIdentityOfTheConnectedDevice)
{
    EXPECT_STREQ(ORVOGetSerialNumber(), "ZRN0A3F-070042");
    EXPECT_TRUE(SameModel(DeviceModel(), Model('R', 'N', 0x0A, 0x3F, 7, 42)));
    DeviceHw();
    EXPECT_EQ(ORVOGetDeviceHandle(), g_hDevice.load());
    EXPECT_GE(ORVOGetDeviceHandle(), 0);
}

TEST_F(MaintenanceTest, CalibrationModePassesItsArgumentOn)
{
    for (bool on : {true, false, true}) {
        SCOPED_TRACE(on);
        sim().clearLog();
        EXPECT_EQ(ORVOSetCalibrationMode(on), 1);
        const auto commands = DeviceCommands();
        ASSERT_EQ(commands.size(), 1u);
        Bytes expected(64, 0x00);
        expected[0] = 0xCC;
        expected[1] = 0xFF;
        expected[2] = 0x06;
        expected[4] = on ? 1 : 0;
        EXPECT_EQ(commands[0].bytes, expected);
        EXPECT_EQ(sim().calibration().calibrationMode, on);
    }
}

TEST_F(MaintenanceTest, OutputDacSendsTheLow16BitsOfBothValuesBigEndian)
{
    struct Case {
        int first;
        int second;
        Bytes payload;  // bytes 4-7
    };
    const Case cases[] = {{0x1234, 0x5678, {0x12, 0x34, 0x56, 0x78}}, {0x12345, -1, {0x23, 0x45, 0xFF, 0xFF}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        sim().clearLog();
        EXPECT_EQ(ORVOSetOutputDac(c.first, c.second), 1);
        const auto commands = DeviceCommands();
        ASSERT_EQ(commands.size(), 1u);
        const Bytes& b = commands[0].bytes;
        ASSERT_EQ(b.size(), 64u);
        EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{0xCC, 0xFF, 0x07, 0x00}));
        EXPECT_EQ(Bytes(b.begin() + 4, b.begin() + 8), c.payload);
        EXPECT_TRUE(std::all_of(b.begin() + 8, b.end(), [](uint8_t x) { return x == 0; }));
    }
    EXPECT_EQ(sim().calibration().dac[0], 0x2345);
    EXPECT_EQ(sim().calibration().dac[1], 0xFFFF);
}

TEST_F(MaintenanceTest, IdentityWritesStopAfterThePageReadWithoutTransport)
{
    const MODEL_INFORMATION before = DeviceModel();
    const HW_INFORMATION hwBefore = DeviceHw();
    const auto pageBefore = sim().identityPage();
    MODEL_INFORMATION model = Model('X', 'Y', 1, 2, 3, 4);

    EXPECT_EQ(ORVOSetDeviceInformation(&model), 0);
    EXPECT_EQ(ORVOSetHWInformation(5, 6), 0);

    const auto commands = DeviceCommands();
    ASSERT_EQ(commands.size(), 2u);
    for (const LogEntry& read : commands) {
        ASSERT_TRUE(IsPageRead(read));
        EXPECT_EQ(read.bytes[5], 1);     // the identity page
        EXPECT_EQ(read.bytes[7], 0x0C);  // 64-byte page read
        EXPECT_TRUE(std::all_of(read.bytes.begin() + 8, read.bytes.end(), [](uint8_t b) { return b == 0; }));
    }
    EXPECT_TRUE(SameModel(DeviceModel(), before));
    EXPECT_EQ(std::memcmp(&hwBefore, &g_ModuleHWInfo, sizeof hwBefore), 0);
    EXPECT_EQ(sim().identityPage(), pageBefore);
    EXPECT_STREQ(ORVOGetSerialNumber(), "ZRN0A3F-070042");
}

TEST_F(MaintenanceTest, CalibrationAndManufacturingDataFailWithoutTraffic)
{
    unsigned char buffer[16] = {};
    EXPECT_EQ(ORVOWriteDCCalibrationData(2, 0x1234), 0);
    EXPECT_EQ(ORVOReadMfgInfo(buffer, sizeof buffer), 0);
    EXPECT_EQ(ORVOWriteMfgInfo(buffer, sizeof buffer), 0);
    EXPECT_EQ(ORVOSetDCOffsetCalibrationData(1, 2), 0);
    EXPECT_TRUE(DeviceCommands().empty());
}

TEST_F(MaintenanceTest, ModelWriteBackFillsPageBytes16To23AndUpdatesTheRecord)
{
    InstalledLayer layer;
    const auto pageBefore = sim().identityPage();
    MODEL_INFORMATION model = Model('R', 'N', 0x01, 0x02, 19, 42);

    EXPECT_EQ(ORVOSetDeviceInformation(&model), 1);

    ASSERT_EQ(layer.calls().size(), 1u);
    EXPECT_EQ(layer.calls()[0].op, "erase");
    EXPECT_EQ(layer.calls()[0].bank, 1u);
    EXPECT_EQ(layer.calls()[0].address, 0u);  // second argument
    const auto commands = DeviceCommands();
    ASSERT_EQ(commands.size(), 2u);
    ASSERT_TRUE(IsPageRead(commands[0]));
    ASSERT_TRUE(IsPageWrite(commands[1]));
    const Bytes& read = commands[0].reply;
    const Bytes& page = commands[1].bytes;
    EXPECT_EQ(Bytes(page.begin() + 16, page.begin() + 24), (Bytes{'Z', 'R', 'N', 0x01, 0x02, 0x13, 0x00, 0x2A}));
    EXPECT_EQ(page[4], 0x00);
    EXPECT_EQ(page[5], 1);
    EXPECT_EQ(Bytes(page.begin() + 5, page.begin() + 16), Bytes(read.begin() + 5, read.begin() + 16));
    EXPECT_EQ(Bytes(page.begin() + 24, page.end()), Bytes(read.begin() + 24, read.end()));

    const auto pageAfter = sim().identityPage();
    EXPECT_EQ(Bytes(pageAfter.begin() + 16, pageAfter.begin() + 24), Bytes(page.begin() + 16, page.begin() + 24));
    EXPECT_EQ(Bytes(pageAfter.begin() + 24, pageAfter.end()), Bytes(pageBefore.begin() + 24, pageBefore.end()));
    EXPECT_TRUE(SameModel(DeviceModel(), model));
    EXPECT_STREQ(ORVOGetSerialNumber(), "ZRN0102-190042");
}

TEST_F(MaintenanceTest, HardwareInfoWriteBackFillsPageBytes24And25)
{
    InstalledLayer layer;
    const auto pageBefore = sim().identityPage();
    const HW_INFORMATION hwBefore = DeviceHw();

    EXPECT_EQ(ORVOSetHWInformation(0x1A5, 0x2B), 1);

    ASSERT_EQ(layer.calls().size(), 1u);
    EXPECT_EQ(layer.calls()[0].bank, 1u);
    const auto commands = DeviceCommands();
    ASSERT_EQ(commands.size(), 2u);
    ASSERT_TRUE(IsPageWrite(commands[1]));
    const Bytes& page = commands[1].bytes;
    EXPECT_EQ(page[24], 0xA5);
    EXPECT_EQ(page[25], 0x2B);
    EXPECT_EQ(Bytes(page.begin() + 5, page.begin() + 24), Bytes(commands[0].reply.begin() + 5, commands[0].reply.begin() + 24));
    const auto pageAfter = sim().identityPage();
    EXPECT_EQ(pageAfter[24], 0xA5);
    EXPECT_EQ(pageAfter[25], 0x2B);
    EXPECT_EQ(Bytes(pageAfter.begin() + 16, pageAfter.begin() + 24), Bytes(pageBefore.begin() + 16, pageBefore.begin() + 24));

    const HW_INFORMATION hw = DeviceHw();
    EXPECT_EQ(hw.HwInfo3, 0x1A5u);
    EXPECT_EQ(hw.HwInfo4, 0x2Bu);
    EXPECT_EQ(hw.HwInfo0, hwBefore.HwInfo0);
    EXPECT_EQ(hw.HwInfo1, hwBefore.HwInfo1);
    EXPECT_EQ(hw.HwInfo2, hwBefore.HwInfo2);
}

TEST_F(MaintenanceTest, UnacknowledgedWriteBackLeavesTheRecordsUnchanged)
{
    InstalledLayer layer;
    // The device's replies are cut short from the erase on: the write-back
    // goes out but its acknowledgement never arrives whole.
    RecordingLayer::onErase = [this] { sim().setShortReplies(true); };
    const MODEL_INFORMATION before = DeviceModel();
    const HW_INFORMATION hwBefore = DeviceHw();
    MODEL_INFORMATION model = Model('Q', 'Q', 9, 9, 9, 9);

    EXPECT_EQ(ORVOSetDeviceInformation(&model), 0);
    sim().setShortReplies(false);
    EXPECT_EQ(ORVOSetHWInformation(1, 2), 0);
    sim().setShortReplies(false);

    EXPECT_EQ(Commands(sim().log()).size(), 4u);
    EXPECT_TRUE(SameModel(DeviceModel(), before));
    const HW_INFORMATION hw = DeviceHw();
    EXPECT_EQ(hw.HwInfo3, hwBefore.HwInfo3);
    EXPECT_EQ(hw.HwInfo4, hwBefore.HwInfo4);
}

TEST_F(MaintenanceTest, ExportedCalibrationWordPassesTheLayersResult)
{
    InstalledLayer layer;
    EXPECT_EQ(ORVOWriteDCCalibrationData(1, 0xABCD), 2);
    ASSERT_EQ(layer.calls().size(), 1u);
    EXPECT_EQ(layer.calls()[0].address, 34u);
    EXPECT_EQ(layer.calls()[0].bytes, (Bytes{0xAB, 0xCD}));
}

TEST_F(MaintenanceTest, WritesReportSuccessButDoNothingWhenTheStreamNeverAsks)
{
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(7000);
    sim().setRequestsPaused(true);
    // Let the pump answer the request that may still be in flight.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    InstalledLayer layer;
    sim().clearLog();
    MODEL_INFORMATION model = Model('Q', 'Q', 9, 9, 9, 9);

    struct Case {
        const char* call;
        std::function<int()> run;
    };
    const Case cases[] = {
        {"ORVOSaveToStandaloneMode", [] { return ORVOSaveToStandaloneMode(FUNC_SQUARE); }},
        {"ORVOSetDeviceInformation", [&] { return ORVOSetDeviceInformation(&model); }},
        {"ORVOSetHWInformation", [] { return ORVOSetHWInformation(1, 2); }},
        {"ORVOWriteDCCalibrationData", [] { return ORVOWriteDCCalibrationData(0, 1); }},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.run(), 1) << c.call;
    sim().setRequestsPaused(false);

    EXPECT_TRUE(DeviceCommands().empty());
    EXPECT_TRUE(layer.calls().empty());
    EXPECT_TRUE(sim().romSlots().empty());
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_SINE);
    EXPECT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);
}

}  // namespace
