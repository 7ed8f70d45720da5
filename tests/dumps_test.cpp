// Text dumps: DumpRawData, OutputRaw and DumpStandardWaveform, their exact line
// formats and their result codes.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "orvo.h"

namespace {

class DumpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvo_dumps_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    static std::wstring Wide(const std::string& path) { return std::wstring(path.begin(), path.end()); }
    static bool Exists(const std::string& path) {
        struct stat info;
        return stat(path.c_str(), &info) == 0;
    }
    static std::string Contents(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::string dir_;
};

TEST_F(DumpsTest, OutputRawWritesTheOneChannelTextFormat) {
    const double values[] = {0.1, -0.25};
    const std::string path = Path("raw.txt");
    EXPECT_EQ(OutputRaw(500, 2, values, "L", Wide(path).c_str()), 0);
    EXPECT_EQ(Contents(path), "500\n2\n1\nL\n0.100\n-0.250\n");
}

TEST_F(DumpsTest, DumpStandardWaveformWritesMicrovoltsAsMillivolts) {
    int samples[] = {185, -531};
    const std::string path = Path("std.txt");
    EXPECT_EQ(DumpStandardWaveform(samples, 2, 720, "IEC 60601-2-27 #1", Wide(path).c_str()), 0);
    EXPECT_EQ(Contents(path), "720\n2\n1\nIEC 60601-2-27 #1\n0.185\n-0.531\n");
}

TEST_F(DumpsTest, DumpRawDataWritesOnlyTheValuesRoundedToThreeDecimals) {
    const double values[] = {1.0, -0.0004, 2.0005, 12345.6789};
    const std::string path = Path("plain.txt");
    EXPECT_EQ(DumpRawData(values, 4, Wide(path).c_str()), 0);
    char expected[128];
    std::snprintf(expected, sizeof expected, "1.000\n%.3f\n%.3f\n12345.679\n", -0.0004, 2.0005);
    EXPECT_EQ(Contents(path), expected);
}

TEST_F(DumpsTest, CountZeroOrLessWritesNoValuesAndEmptiesAnExistingFile) {
    const std::string path = Path("empty.txt");
    std::ofstream(path) << "old contents\n";
    const double value = 1.0;
    EXPECT_EQ(DumpRawData(&value, 0, Wide(path).c_str()), 0);
    EXPECT_EQ(Contents(path), "");
    EXPECT_EQ(OutputRaw(1000, -3, &value, "x", Wide(path).c_str()), 0);
    EXPECT_EQ(Contents(path), "1000\n-3\n1\nx\n");
}

TEST_F(DumpsTest, UnopenablePathsGiveMinusThree) {
    const double value = 1.0;
    int sample = 1;
    const std::vector<std::string> paths = {Path("missing-dir/x.txt"), dir_, ""};
    for (const std::string& path : paths) {
        const std::wstring wide = Wide(path);
        EXPECT_EQ(DumpRawData(&value, 1, wide.c_str()), -3) << path;
        EXPECT_EQ(OutputRaw(500, 1, &value, "L", wide.c_str()), -3) << path;
        EXPECT_EQ(DumpStandardWaveform(&sample, 1, 720, "L", wide.c_str()), -3) << path;
    }
    EXPECT_EQ(DumpRawData(&value, 1, nullptr), -3);
}

// The path buffer holds 511 characters; a longer path is refused, not cut.
TEST_F(DumpsTest, PathsUpTo511CharactersOpenAndLongerOnesAreRefused) {
    std::string directory = dir_;
    while (directory.size() < 400) {
        directory += "/" + std::string(60, 'd');
        ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
    }
    directory += "/";
    const std::string longest = directory + std::string(511 - directory.size(), 'f');
    const std::string tooLong = longest + "g";
    const double value = 0.5;
    EXPECT_EQ(DumpRawData(&value, 1, Wide(longest).c_str()), 0);
    EXPECT_EQ(Contents(longest), "0.500\n");
    // Cut to the buffer, the long path would name the file just written.
    const double other = 9.0;
    EXPECT_EQ(DumpRawData(&other, 1, Wide(tooLong).c_str()), -3);
    EXPECT_EQ(Contents(longest), "0.500\n");
    EXPECT_EQ(OutputRaw(500, 1, &value, "L", Wide(tooLong + std::string(5000, 'h')).c_str()), -3);
}

TEST_F(DumpsTest, WideCharactersAreNarrowedToTheirLowByte) {
    std::wstring path = Wide(Path("x"));
    path += static_cast<wchar_t>(0x0161);  // low byte 0x61, 'a'
    path += L".txt";
    const double value = 0.25;
    EXPECT_EQ(DumpRawData(&value, 1, path.c_str()), 0);
    EXPECT_EQ(Contents(Path("xa.txt")), "0.250\n");
}

TEST_F(DumpsTest, WriteErrorsGiveMinusSix) {
    if (!Exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const std::vector<double> many(20000, 1.0);
    int samples[] = {1, 2};
    for (int count : {1, 20000}) {
        EXPECT_EQ(DumpRawData(many.data(), count, L"/dev/full"), -6) << count;
        EXPECT_EQ(OutputRaw(500, count, many.data(), "L", L"/dev/full"), -6) << count;
    }
    EXPECT_EQ(DumpStandardWaveform(samples, 2, 720, "L", L"/dev/full"), -6);
}

TEST_F(DumpsTest, NullDataWithValuesToWriteIsRefusedWithoutCreatingTheFile) {
    const std::string path = Path("null.txt");
    EXPECT_EQ(DumpRawData(nullptr, 3, Wide(path).c_str()), -6);
    EXPECT_EQ(OutputRaw(500, 3, nullptr, "L", Wide(path).c_str()), -6);
    EXPECT_EQ(DumpStandardWaveform(nullptr, 3, 720, "L", Wide(path).c_str()), -6);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(DumpRawData(nullptr, 0, Wide(path).c_str()), 0);
    EXPECT_EQ(Contents(path), "");
}

TEST_F(DumpsTest, NullLabelWritesAnEmptyNameLine) {
    const double value = 1.5;
    const std::string path = Path("nolabel.txt");
    EXPECT_EQ(OutputRaw(250, 1, &value, nullptr, Wide(path).c_str()), 0);
    EXPECT_EQ(Contents(path), "250\n1\n1\n\n1.500\n");
}

}  // namespace
