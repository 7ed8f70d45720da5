// Loading of recordings: multi-channel and single-channel text files, binary
// files and host arrays, with their result codes, limiting, and what a failed
// load leaves behind.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "api/globals.h"
#include "engine/parameters.h"
#include "orvo.h"
#include "waveforms/loaded_recording.h"

namespace {

struct RecordingSnapshot {
    const double* main;
    int size;
    double rate;
    const double* dc;
    int dcSize;
};

RecordingSnapshot Snapshot() { return {ECGFile, ECGFileSize, ECGFileFreq, g_DcRawData, g_DcRawDataSize}; }

void ExpectUnchanged(const RecordingSnapshot& before) {
    EXPECT_EQ(ECGFile, before.main);
    EXPECT_EQ(ECGFileSize, before.size);
    EXPECT_EQ(ECGFileFreq, before.rate);
    EXPECT_EQ(g_DcRawData, before.dc);
    EXPECT_EQ(g_DcRawDataSize, before.dcSize);
}

class EcgFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvo_ecg_files_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string Write(const std::string& name, const std::string& contents) const {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }
    static std::wstring Wide(const std::string& path) { return std::wstring(path.begin(), path.end()); }
    static int LoadText(const std::string& path, int channel) {
        std::string copy = path;
        return LoadECGtxt(&copy[0], channel);
    }
    static int LoadSingle(const std::string& path) {
        std::string copy = path;
        return LoadECGtxt(&copy[0]);
    }
    static int LoadBin(const std::string& path) { return LoadECGBin(Wide(path).c_str()); }

    // A recording with a known rate and one sample, to see what a failed load keeps.
    void LoadKnownRecording(double rate = 250.0) {
        const std::string path = Write("known.txt", std::to_string(rate) + "\n1\n1\nK\n0.5\n");
        ASSERT_EQ(LoadText(path, 0), 1);
        ASSERT_EQ(ECGFileFreq, rate);
    }

    // Rate 500, 1000 samples, 3 channels; sample i of channel c is (c + 1) * i / 1000.
    std::string ThreeChannelFile() const {
        std::string text = "500\n1000\n3\nI,II,III\n";
        for (int i = 0; i < 1000; ++i) {
            for (int c = 0; c < 3; ++c) text += std::to_string((c + 1) * i / 1000.0) + (c < 2 ? "," : "\n");
        }
        return Write("three.txt", text);
    }

    static std::string BinaryHeader(uint16_t rate, uint32_t count) {
        const char bytes[] = {static_cast<char>(rate >> 8), static_cast<char>(rate & 0xFF),
                              static_cast<char>(count >> 24), static_cast<char>((count >> 16) & 0xFF),
                              static_cast<char>((count >> 8) & 0xFF), static_cast<char>(count & 0xFF)};
        return std::string(bytes, sizeof bytes);
    }

    std::string dir_;
};

TEST_F(EcgFilesTest, MultiChannelFileLoadsTheSelectedColumnAtItsRate) {
    const std::string path = ThreeChannelFile();
    EXPECT_EQ(LoadText(path, 2), 1000);
    ASSERT_NE(ECGFile, nullptr);
    EXPECT_EQ(ECGFileSize, 1000);
    EXPECT_EQ(ECGFileFreq, 500.0);
    EXPECT_TRUE(ECGFileUnitMV);
    EXPECT_DOUBLE_EQ(ECGFile[0], 0.0);
    EXPECT_DOUBLE_EQ(ECGFile[500], 1.5);
    EXPECT_DOUBLE_EQ(ECGFile[999], 2.5);  // 2.997 limited
    EXPECT_EQ(LoadText(path, 0), 1000);
    EXPECT_DOUBLE_EQ(ECGFile[999], 0.999);
}

TEST_F(EcgFilesTest, ChannelOutsideTheFileGivesMinusSevenAndKeepsThePreviousRecording) {
    const std::string path = ThreeChannelFile();
    LoadKnownRecording();
    const RecordingSnapshot before = Snapshot();
    for (int channel : {3, 4, -1, std::numeric_limits<int>::min()}) {
        EXPECT_EQ(LoadText(path, channel), -7) << channel;
        ExpectUnchanged(before);
    }
}

TEST_F(EcgFilesTest, DataLineWithTooFewFieldsEndsTheLoadWithNoRecording) {
    LoadKnownRecording();
    const std::string path = Write("short.txt", "500\n3\n3\nI,II,III\n1,2,3\n0.1,0.2\n4,5,6\n");
    EXPECT_EQ(LoadText(path, 2), -7);
    EXPECT_EQ(ECGFile, nullptr);
    EXPECT_EQ(ECGFileSize, 0);
    EXPECT_EQ(ECGFileFreq, 250.0);  // the rate only changes with a successful load
    // Column 1 exists on every line.
    EXPECT_EQ(LoadText(path, 1), 3);
}

TEST_F(EcgFilesTest, TextSamplesAreLimitedToPlusMinus2Point5Millivolts) {
    const std::string multi = Write("multi.txt", "1000\n5\n2\nA,B\n0,3.7\n0,-9\n0,1.25\n0,nan\n0,abc\n");
    const std::string single = Write("single.txt", "1000\n5\n3.7\n-9\n1.25\nnan\nabc\n");
    const double expected[] = {2.5, -2.5, 1.25, 0.0, 0.0};
    ASSERT_EQ(LoadText(multi, 1), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ECGFile[i], expected[i]) << "multi " << i;
    ASSERT_EQ(LoadSingle(single), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ECGFile[i], expected[i]) << "single " << i;
}

TEST_F(EcgFilesTest, RateBelow100IsRefusedByTheMultiChannelLoaderOnly) {
    LoadKnownRecording();
    const std::string path = Write("slow.txt", "50\n2\n1\nA\n0.1\n0.2\n");
    EXPECT_EQ(LoadText(path, 0), -2);
    EXPECT_EQ(ECGFileFreq, 250.0);
    EXPECT_EQ(LoadSingle(path), 2);  // reads "1" and "A" as its two samples
    EXPECT_EQ(ECGFileFreq, 50.0);
    EXPECT_EQ(ECGFile[0], 1.0);
    EXPECT_EQ(ECGFile[1], 0.0);
}

struct HeaderCase {
    const char* name;
    const char* contents;
    int check;   // CheckECGTxtChannel
    int multi;   // LoadECGtxt(path, 0)
    int single;  // LoadECGtxt(path)
};

// Every header code of the three text readers; none of them may change the
// rate or, before allocating, the recording.
TEST_F(EcgFilesTest, TextHeaderProblemsGiveTheirResultCodes) {
    const HeaderCase cases[] = {
        {"empty file", "", -2, -2, -2},
        {"rate 0", "0\n2\n1\nA\n1\n1\n", -2, -2, -2},
        {"rate not a number", "abc\n2\n1\nA\n1\n1\n", -2, -2, -2},
        {"negative rate", "-500\n2\n1\nA\n1\n1\n", -2, -2, -2},
        {"rate above 40000", "40001\n2\n1\nA\n1\n1\n", 1, -2, 2},
        {"line 2 missing", "500\n", -3, -3, -3},
        {"count 0", "500\n0\n1\nA\n", -3, -3, -3},
        {"negative count", "500\n-4\n1\nA\n", -3, -3, -3},
        {"line 3 missing", "500\n2\n", -4, -4, 0},
        {"channels 0", "500\n2\n0\nA\n", -4, -4, 2},
        {"negative channels", "500\n2\n-2\nA\n", -4, -4, 2},
        {"line 4 missing", "500\n2\n1\n", -5, -5, 1},
        {"rate 100 is inside", "100\n1\n1\nA\n0.5\n", 1, 1, 1},
        {"rate 40000 is inside", "40000\n1\n1\nA\n0.5\n", 1, 1, 1},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write("header.txt", c.contents);
        LoadKnownRecording();
        const RecordingSnapshot before = Snapshot();
        EXPECT_EQ(CheckECGTxtChannel(Wide(path).c_str(), nullptr), c.check);
        ExpectUnchanged(before);
        EXPECT_EQ(LoadText(path, 0), c.multi);
        if (c.multi < 0) ExpectUnchanged(before);
        LoadKnownRecording();
        const RecordingSnapshot beforeSingle = Snapshot();
        EXPECT_EQ(LoadSingle(path), c.single);
        if (c.single < 0) ExpectUnchanged(beforeSingle);
    }
}

TEST_F(EcgFilesTest, MissingFilesAndOverlongPathsGiveMinusOne) {
    LoadKnownRecording();
    const RecordingSnapshot before = Snapshot();
    const std::string missing = dir_ + "/missing.txt";
    const std::string overlong = dir_ + "/" + std::string(600, 'x');
    for (const std::string& path : {missing, overlong, dir_ + "/no-dir/x.txt"}) {
        EXPECT_EQ(CheckECGTxtChannel(Wide(path).c_str(), nullptr), -1);
        EXPECT_EQ(LoadText(path, 0), -1);
        EXPECT_EQ(LoadSingle(path), -1);
        EXPECT_EQ(LoadBin(path), -1);
    }
    EXPECT_EQ(LoadECGtxt(nullptr, 0), -1);
    EXPECT_EQ(LoadECGtxt(nullptr), -1);
    EXPECT_EQ(LoadECGBin(nullptr), -1);
    EXPECT_EQ(CheckECGTxtChannel(nullptr, nullptr), -1);
    ExpectUnchanged(before);
}

TEST_F(EcgFilesTest, FileShorterThanItsHeaderLoadsTheSamplesPresent) {
    const std::string multi = Write("m.txt", "500\n1000\n1\nA\n0.1\n0.2\n0.3\n");
    EXPECT_EQ(LoadText(multi, 0), 3);
    EXPECT_EQ(ECGFileSize, 3);
    EXPECT_DOUBLE_EQ(ECGFile[2], 0.3);
    const std::string empty = Write("e.txt", "500\n1000\n1\nA\n");
    EXPECT_EQ(LoadText(empty, 0), 0);
    EXPECT_EQ(ECGFile, nullptr);
    EXPECT_EQ(ECGFileSize, 0);
    EXPECT_EQ(ECGFileFreq, 500.0);
}

TEST_F(EcgFilesTest, LinesLongerThan127CharactersAreReadWhole) {
    const std::string padding(300, ' ');
    const std::string longName(200, 'N');
    const std::string path = Write("long.txt", "500\n2\n2\n" + longName + ",B\n0.25," + padding + "1\n" +
                                                 "0.5,2" + padding + "\n");
    EXPECT_EQ(LoadText(path, 1), 2);
    EXPECT_EQ(ECGFile[0], 1.0);
    EXPECT_EQ(ECGFile[1], 2.0);
    char* names[2] = {nullptr, nullptr};
    EXPECT_EQ(CheckECGTxtChannel(Wide(path).c_str(), names), 2);
    ASSERT_NE(names[0], nullptr);
    EXPECT_EQ(std::string(names[0]), longName.substr(0, 127));  // cut to its 128-character buffer
    EXPECT_EQ(std::string(names[1]), "B\n");
    delete[] names[0];
    delete[] names[1];
}

TEST_F(EcgFilesTest, CheckEcgTxtChannelReturnsTheChannelsAndTheirNamesUntrimmed) {
    LoadKnownRecording();
    const std::string path = Write("names.txt", "1000\n10\n3\nI,II,III\n");
    char* names[3] = {nullptr, nullptr, nullptr};
    EXPECT_EQ(CheckECGTxtChannel(Wide(path).c_str(), names), 3);
    ASSERT_NE(names[2], nullptr);
    EXPECT_STREQ(names[0], "I");
    EXPECT_STREQ(names[1], "II");
    EXPECT_STREQ(names[2], "III\n");
    for (char* name : names) delete[] name;
    EXPECT_EQ(ECGFileFreq, 250.0);

    // Fewer names than channels: only those are set.
    const std::string fewer = Write("fewer.txt", "1000\n10\n3\nI,II\n");
    char* some[3] = {nullptr, nullptr, nullptr};
    EXPECT_EQ(CheckECGTxtChannel(Wide(fewer).c_str(), some), 3);
    EXPECT_STREQ(some[1], "II\n");
    EXPECT_EQ(some[2], nullptr);
    for (char* name : some) delete[] name;
}

TEST_F(EcgFilesTest, BinaryFileLoadsBigEndianMicrovoltsAsLimitedMillivolts) {
    std::string contents = BinaryHeader(500, 1000);
    const uint16_t firsts[] = {0xFC18, 0x7FFF, 0x8000, 0x0001, 0x09C4, 0xF63B};
    for (uint16_t v : firsts) contents += {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
    contents += std::string(2 * (1000 - 6), '\0');
    EXPECT_EQ(LoadBin(Write("a.bin", contents)), 1000);
    EXPECT_EQ(ECGFileSize, 1000);
    EXPECT_EQ(ECGFileFreq, 500.0);
    EXPECT_TRUE(ECGFileUnitMV);
    const double expected[] = {-1.0, 2.5, -2.5, 0.001, 2.5, -2.5};
    for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(ECGFile[i], expected[i]) << i;
    EXPECT_EQ(ECGFile[999], 0.0);
}

TEST_F(EcgFilesTest, BinaryHeaderProblemsGiveTheirResultCodes) {
    struct Case { const char* name; std::string contents; int result; } cases[] = {
        {"empty", "", -2},
        {"one rate byte", std::string(1, '\x01'), -2},
        {"rate 0", BinaryHeader(0, 1) + "ab", -2},
        {"rate 25", BinaryHeader(25, 1) + "ab", -2},
        {"rate 5001", BinaryHeader(5001, 1) + "ab", -2},
        {"count missing", BinaryHeader(500, 0).substr(0, 4), -3},
        {"count 0", BinaryHeader(500, 0), -3},
        {"count negative", BinaryHeader(500, 0x80000000u), -3},
        {"count above 20,000,000", BinaryHeader(500, 20000001), -3},
        {"rate 30 is inside", BinaryHeader(30, 1) + "ab", 1},
        {"rate 5000 is inside", BinaryHeader(5000, 1) + "ab", 1},
        {"short data and an odd byte", BinaryHeader(500, 10) + "abcde", 2},
        {"no data", BinaryHeader(500, 20000000), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadKnownRecording();
        const RecordingSnapshot before = Snapshot();
        EXPECT_EQ(LoadBin(Write("h.bin", c.contents)), c.result);
        if (c.result < 0) ExpectUnchanged(before);
    }
}

TEST_F(EcgFilesTest, FileLoadsReplaceOnlyTheMainChannel) {
    std::vector<double> main(4, 0.5);
    std::vector<double> dc(4, 10.0);
    RAW_ECG_DATA raw{1000.0, 4, main.data(), dc.data()};
    ASSERT_EQ(ORVOLoadRawData(&raw), 4);
    const double* dcArray = g_DcRawData;
    EXPECT_EQ(LoadText(ThreeChannelFile(), 0), 1000);
    EXPECT_EQ(LoadBin(Write("b.bin", BinaryHeader(500, 2) + "abcd")), 2);
    EXPECT_EQ(g_DcRawData, dcArray);
    EXPECT_EQ(g_DcRawDataSize, 4);
    EXPECT_EQ(g_DcRawData[3], 10.0);
    EXPECT_EQ(ECGFileSize, 2);
}

TEST_F(EcgFilesTest, RawDataLoadsBothChannelsLimited) {
    std::vector<double> main = {0.0, 7.0, -7.0, 1.5, std::nan("")};
    std::vector<double> dc = {0.0, 1500.0, -1500.0, -20.0, 0.0};
    RAW_ECG_DATA raw{2000.0, 5, main.data(), dc.data()};
    EXPECT_EQ(ORVOLoadRawData(&raw), 5);
    EXPECT_EQ(ECGFileSize, 5);
    EXPECT_EQ(g_DcRawDataSize, 5);
    EXPECT_EQ(ECGFileFreq, 2000.0);
    EXPECT_TRUE(ECGFileUnitMV);
    const double mainExpected[] = {0.0, 5.0, -5.0, 1.5, 0.0};
    const double dcExpected[] = {0.0, 1000.0, -1000.0, -20.0, 0.0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ECGFile[i], mainExpected[i]) << i;
        EXPECT_EQ(g_DcRawData[i], dcExpected[i]) << i;
    }
    EXPECT_NE(ECGFile, main.data());  // copied, not borrowed
}

TEST_F(EcgFilesTest, RawDataRefusesNullArraysAndEmptyCounts) {
    LoadKnownRecording();
    const RecordingSnapshot before = Snapshot();
    double samples[2] = {0.1, 0.2};
    const RAW_ECG_DATA cases[] = {
        {1000.0, 2, nullptr, samples}, {1000.0, 2, samples, nullptr},
        {1000.0, 0, samples, samples}, {1000.0, -5, samples, samples}};
    for (const RAW_ECG_DATA& raw : cases) {
        EXPECT_EQ(ORVOLoadRawData(&raw), -1);
        ExpectUnchanged(before);
    }
    EXPECT_EQ(ORVOLoadRawData(nullptr), -1);
    ExpectUnchanged(before);
}

TEST_F(EcgFilesTest, RawDataOutsideTheRateRangeStaysLoadedAndGivesMinusTwo) {
    double samples[3] = {0.1, 0.2, 0.3};
    struct Case { double rate; int result; double stored; } cases[] = {
        {50.0, -2, 50.0}, {40001.0, -2, 40001.0}, {100.0, 3, 100.0}, {40000.0, 3, 40000.0},
        {0.0, -2, 0.0}, {-500.0, -2, 0.0}, {std::nan(""), -2, 0.0}};
    for (const Case& c : cases) {
        RAW_ECG_DATA raw{c.rate, 3, samples, samples};
        EXPECT_EQ(ORVOLoadRawData(&raw), c.result) << c.rate;
        EXPECT_EQ(ECGFileSize, 3);
        ASSERT_NE(ECGFile, nullptr);
        EXPECT_EQ(ECGFile[2], 0.3);
        EXPECT_EQ(ECGFileFreq, c.stored) << c.rate;
    }
}

TEST_F(EcgFilesTest, AllZeroDcDataClearsVariableDcAndNonZeroDataMarksItVariable) {
    double main[2] = {0.1, 0.2};
    double zeros[2] = {0.0, 0.0};
    double oneSet[2] = {0.0, 3.0};
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_bRawVariableDC = false;
        g_bVariableDC = true;
    }
    RAW_ECG_DATA flat{1000.0, 2, main, zeros};
    EXPECT_EQ(ORVOLoadRawData(&flat), 2);
    EXPECT_FALSE(g_bRawVariableDC);
    EXPECT_FALSE(g_bVariableDC);

    g_bVariableDC = true;
    RAW_ECG_DATA varying{1000.0, 2, main, oneSet};
    EXPECT_EQ(ORVOLoadRawData(&varying), 2);
    EXPECT_TRUE(g_bRawVariableDC);
    EXPECT_TRUE(g_bVariableDC);

    // The flag is only ever set here: later flat data leave it and variable DC alone.
    EXPECT_EQ(ORVOLoadRawData(&flat), 2);
    EXPECT_TRUE(g_bRawVariableDC);
    EXPECT_TRUE(g_bVariableDC);
    g_bRawVariableDC = false;
}

TEST_F(EcgFilesTest, OutputRawFileLoadsBackAsTheSameRecording) {
    const std::vector<double> values = {0.0, 0.125, -1.5, 2.499, -0.001};
    const std::string path = dir_ + "/roundtrip.txt";
    ASSERT_EQ(OutputRaw(720, 5, values.data(), "Lead II", Wide(path).c_str()), 0);
    char* names[1] = {nullptr};
    EXPECT_EQ(CheckECGTxtChannel(Wide(path).c_str(), names), 1);
    EXPECT_STREQ(names[0], "Lead II\n");
    delete[] names[0];
    EXPECT_EQ(LoadText(path, 0), 5);
    EXPECT_EQ(ECGFileFreq, 720.0);
    for (size_t i = 0; i < values.size(); ++i) EXPECT_DOUBLE_EQ(ECGFile[i], values[i]) << i;
}

// UTF-8 paths become wide characters, which are then cut to their low byte.
TEST_F(EcgFilesTest, Utf8TextPathsOpenTheirLowByteNames) {
    Write("\xE9.txt", "500\n1\n1\nA\n0.75\n");
    EXPECT_EQ(LoadText(dir_ + "/\xC3\xA9.txt", 0), 1);
    EXPECT_EQ(ECGFile[0], 0.75);
}

// A reader holding the lock, as the pump does, must never see a freed or
// half-replaced recording while loads replace it.
TEST_F(EcgFilesTest, ReplacingTheRecordingIsSafeForAReaderHoldingTheLock) {
    std::string lines = "500\n64\n1\nA\n";
    for (int i = 0; i < 64; ++i) lines += "1.0\n";
    const std::string path = Write("r.txt", lines);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        double sum = 0.0;
        while (!done.load()) {
            CAutoCriticalSection lock(g_CriticalSection);
            if (ECGFile != nullptr && ECGFileSize > 0) sum += ECGFile[ECGFileSize - 1];
        }
        EXPECT_GE(sum, 0.0);
    });
    double samples[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    for (int round = 0; round < 200; ++round) {
        EXPECT_EQ(LoadText(path, 0), 64);
        RAW_ECG_DATA raw{1000.0, 8, samples, samples};
        EXPECT_EQ(ORVOLoadRawData(&raw), 8);
    }
    done = true;
    reader.join();
}

}  // namespace
