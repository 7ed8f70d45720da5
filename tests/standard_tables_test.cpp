// The standard waveform tables: the generated IEC 60601-2-47 patterns, the
// synthetic beat, the shape and telling values of the constant tables, and the
// exported array getters.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "orvo.h"
#include "waveforms/standard_tables.h"

namespace {

constexpr int kBeatPeakOffset = 53;  // the beat's maximum, 0.875 mV

IEC247_PATTERN Pattern(int value) { return static_cast<IEC247_PATTERN>(value); }

// Beat starts found from the beat's unique peak value.
std::vector<int> BeatStarts(const double* pattern, int samples) {
    std::vector<int> starts;
    for (int i = 0; i < samples; ++i) {
        if (pattern[i] == 0.875) starts.push_back(i - kBeatPeakOffset);
    }
    return starts;
}

// First use from two threads at once: both must see one fully built array.
// Kept first in the file so that the patterns are not built yet.
TEST(Iec247Patterns, ConcurrentFirstUseBuildsOnceAndBothThreadsSeeTheSameArray) {
    std::atomic<bool> go{false};
    const double* seen[2] = {nullptr, nullptr};
    const double* beats[2] = {nullptr, nullptr};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            beats[t] = getECG227Array();
            seen[t] = getIEC47RawArray(IEC247_PATTERN_2);
        });
    }
    go = true;
    for (auto& thread : threads) thread.join();
    ASSERT_NE(seen[0], nullptr);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(beats[0], beats[1]);
    EXPECT_EQ(seen[0][kBeatPeakOffset], 0.875);
    EXPECT_EQ(seen[0][1000 + kBeatPeakOffset], 0.875);
}

TEST(Iec247Patterns, SyntheticBeatPeaksAtSample53AndTroughsAtSample103) {
    const double* beat = getECG227Array();
    const double* end = beat + ECG227_BEAT_SAMPLES;
    EXPECT_EQ(std::max_element(beat, end) - beat, 53);
    EXPECT_EQ(*std::max_element(beat, end), 0.875);
    EXPECT_EQ(std::min_element(beat, end) - beat, 103);
    EXPECT_DOUBLE_EQ(*std::min_element(beat, end), -0.125);
    EXPECT_EQ(beat[0], 0.0);
    EXPECT_EQ(beat[9], 0.0);
    EXPECT_DOUBLE_EQ(beat[102], -0.105);
    EXPECT_EQ(beat[150], 0.0);
    EXPECT_NEAR(beat[270], 0.2, 1e-9);  // T peak
    EXPECT_EQ(getECG227Array(), beat);
}

TEST(Iec247Patterns, PatternZeroIsATriangleOncePerSecond) {
    const double* pattern = getIEC47RawArray(IEC247_PATTERN_0);
    ASSERT_NE(pattern, nullptr);
    struct Case { int index; double value; } cases[] = {
        {0, 0.0}, {25, 0.5}, {50, 1.0}, {75, 0.5}, {99, 0.02}, {100, 0.0}, {999, 0.0},
        {1050, 1.0}, {59050, 1.0}, {59999, 0.0}};
    for (const Case& c : cases) EXPECT_NEAR(pattern[c.index], c.value, 1e-12) << "sample " << c.index;
}

struct BeatCase {
    int pattern;
    int samples;
    std::vector<int> firstStarts;
    size_t beats;
    int lastStart;  // -1: not checked
};

TEST(Iec247Patterns, BeatsStartWhereTheSinusoidalRrSeriesPutsThem) {
    const BeatCase cases[] = {
        {1, 60000, {0, 800, 1633, 2452, 3229, 3996}, 76, 59917},
        {2, 60000, {0, 1000, 2041, 3108}, 0, -1},
        {3, 60000, {0, 3000, 6164, 9433}, 0, -1},
        {4, 3600000, {0, 1500, 3000, 4500, 6001}, 2412, -1},
    };
    const double* beat = getECG227Array();
    for (const BeatCase& c : cases) {
        SCOPED_TRACE(c.pattern);
        const double* pattern = getIEC47RawArray(Pattern(c.pattern));
        ASSERT_NE(pattern, nullptr);
        const std::vector<int> starts = BeatStarts(pattern, c.samples);
        ASSERT_GE(starts.size(), c.firstStarts.size());
        EXPECT_EQ(std::vector<int>(starts.begin(), starts.begin() + c.firstStarts.size()), c.firstStarts);
        if (c.beats != 0) {
            EXPECT_EQ(starts.size(), c.beats);
        }
        if (c.lastStart >= 0) {
            EXPECT_EQ(starts.back(), c.lastStart);
        }
        // Whole beats at those starts (the last one cut at the end), zero elsewhere.
        std::vector<double> expected(static_cast<size_t>(c.samples), 0.0);
        for (int start : starts) {
            for (int k = 0; k < ECG227_BEAT_SAMPLES && start + k < c.samples; ++k) expected[start + k] = beat[k];
        }
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), pattern));
    }
}

TEST(Iec247Patterns, CachedArrayIsBuiltOnceAndOnlyForPatternsZeroToFour) {
    for (int p = 0; p < IEC247_PATTERN_COUNT; ++p) {
        const double* first = getIEC47RawArray(Pattern(p));
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(getIEC47RawArray(Pattern(p)), first);
    }
    for (int bad : {-1, 5, 7, 1000}) {
        EXPECT_EQ(getIEC47RawArray(Pattern(bad)), nullptr) << bad;
        EXPECT_EQ(getArray(Pattern(bad)), nullptr) << bad;
    }
}

TEST(Iec247Patterns, GetArrayReturnsAFreshCopyThatTheCallerFrees) {
    double* fresh = getArray(IEC247_PATTERN_1);
    ASSERT_NE(fresh, nullptr);
    const double* cached = getIEC47RawArray(IEC247_PATTERN_1);
    EXPECT_NE(fresh, cached);
    EXPECT_TRUE(std::equal(fresh, fresh + IEC247_SAMPLES, cached));
    std::free(fresh);
}

TEST(Iec247Patterns, HeartRateVariabilityRowsMatchTheStandard) {
    const double avg[] = {1.0, 0.8, 1.0, 3.0, 1.5};
    const double dev[] = {0.0, 0.035, 0.07, 0.28, 0.14};
    const double freq[] = {0.0, 0.25, 0.1, 0.033333, 0.000278};
    for (int p = 0; p < IEC247_PATTERN_COUNT; ++p) {
        EXPECT_EQ(getRRavgArray()[p], avg[p]);
        EXPECT_EQ(getRRdevArray()[p], dev[p]);
        EXPECT_EQ(getHRVfreqArray()[p], freq[p]);
    }
}

struct TellingCase {
    const char* table;
    int index;
    const int32_t* samples;
    int length;
    int32_t min;
    int32_t max;
};

std::vector<TellingCase> TellingCases() {
    std::vector<TellingCase> cases;
    const int32_t iec227[][2] = {{-531, 608}, {-415, 1038}, {-715, 515}, {-338, 708}, {-775, 750},
                                 {-1550, 1050}, {-388, 787}, {-1512, 662}, {-3025, 1325}, {-756, 606}};
    const int used[] = {43081, 43142, 43144, 34511, 65211, 65214, 65207, 65238, 65239, 65237};
    for (int k = 0; k < 10; ++k) {
        cases.push_back({"IEC227W", k, &IEC227W[k * 66000], used[k], iec227[k][0], iec227[k][1]});
    }
    const int32_t iec251[][2] = {{-500, 500}, {-1000, 1000}, {-1500, 1500}, {-2000, 2000},
                                 {-3000, 3000}, {-5000, 5000}, {-2000, 2000}, {0, 2000},
                                 {-200, 2000}, {0, 2000}, {-2000, 400}, {-2000, 400},
                                 {-2000, 400}, {-2000, 2000}, {-2000, 2000}, {-4000, 4000}};
    for (int k = 0; k < 16; ++k) cases.push_back({"IEC251W", k, &IEC251W[k * 1000], 1000, iec251[k][0], iec251[k][1]});
    const int32_t ane[][2] = {{-197, 831}, {-215, 1180}, {-39, 397}, {-1204, 316}, {-1929, 819},
                              {-1201, 1004}, {-639, 1781}, {-333, 1821}, {-186, 1506}};
    for (int k = 0; k < 9; ++k) cases.push_back({"ANE20000", k, &ANE20000[k * 1000], 1000, ane[k][0], ane[k][1]});
    return cases;
}

TEST(ConstantTables, EveryWaveformStartsAtZeroAndHasItsTellingExtremes) {
    for (const TellingCase& c : TellingCases()) {
        SCOPED_TRACE(std::string(c.table) + " " + std::to_string(c.index));
        const auto [low, high] = std::minmax_element(c.samples, c.samples + c.length);
        EXPECT_EQ(*low, c.min);
        EXPECT_EQ(*high, c.max);
        EXPECT_EQ(c.samples[0], 0);
    }
}

TEST(ConstantTables, Ane20000LeadsPeakBetweenSamples195And483) {
    for (int lead = 0; lead < ANE20000_LEAD_COUNT; ++lead) {
        const int32_t* samples = &ANE20000[lead * ANE20000_SAMPLES];
        const auto peak = std::max_element(samples, samples + ANE20000_SAMPLES) - samples;
        EXPECT_GE(peak, 195) << "lead " << lead;
        EXPECT_LE(peak, 483) << "lead " << lead;
    }
}

TEST(ConstantTables, Iec227SlotsAreZeroBeyondTheirUsedLength) {
    const int used[] = {43081, 43142, 43144, 34511, 65211, 65214, 65207, 65238, 65239, 65237};
    for (int k = 0; k < IEC227_WAVEFORM_COUNT; ++k) {
        const int32_t* slot = &IEC227W[k * IEC227_SLOT_SAMPLES];
        EXPECT_TRUE(std::all_of(slot + used[k], slot + IEC227_SLOT_SAMPLES, [](int32_t v) { return v == 0; }))
            << "waveform " << k;
        EXPECT_EQ(static_cast<int>(std::lround(IEC227WL[k] * 720)), used[k]);
    }
    EXPECT_NEAR(IEC227WL[3], 47.9319, 1e-4);
    EXPECT_NEAR(IEC227WL[9], 90.6069, 1e-4);
}

TEST(SpecialWaveArrays, Iec227GetterReportsUsedLengthAt720PerSecond) {
    int count = -1;
    int rate = -1;
    EXPECT_EQ(GetSpecialWave227Array(3, &count, &rate), &IEC227W[3 * 66000]);
    EXPECT_EQ(count, 34511);
    EXPECT_EQ(rate, 720);
    EXPECT_EQ(GetSpecialWave227Array(9, &count, &rate), &IEC227W[9 * 66000]);
    EXPECT_EQ(count, 65237);
}

TEST(SpecialWaveArrays, Iec251GetterReportsOneSecondAt1000PerSecond) {
    int count = -1;
    int rate = -1;
    EXPECT_EQ(GetSpecialWave251Array(15, &count, &rate), &IEC251W[15 * 1000]);
    EXPECT_EQ(count, 1000);
    EXPECT_EQ(rate, 1000);
}

// An index outside a table gives nothing to read: null and no samples.
TEST(SpecialWaveArrays, IndexOutsideTheTableGivesNullAndZeroCountButStillTheRate) {
    struct Case { int index; bool iec227; int rate; } cases[] = {
        {-1, true, 720}, {10, true, 720}, {-1, false, 1000}, {16, false, 1000}, {1 << 30, false, 1000}};
    for (const Case& c : cases) {
        int count = -1;
        int rate = -1;
        const int* array = c.iec227 ? GetSpecialWave227Array(c.index, &count, &rate)
                                    : GetSpecialWave251Array(c.index, &count, &rate);
        EXPECT_EQ(array, nullptr) << c.index;
        EXPECT_EQ(count, 0) << c.index;
        EXPECT_EQ(rate, c.rate) << c.index;
    }
}

TEST(SpecialWaveArrays, Iec247GetterReportsLengthsAndNullOutsideZeroToFour) {
    struct Case { int pattern; bool present; int count; } cases[] = {
        {0, true, 60000}, {3, true, 60000}, {4, true, 3600000}, {7, false, 60000}, {-1, false, 60000}};
    for (const Case& c : cases) {
        int count = -1;
        int rate = -1;
        const double* array = GetSpecialWave247Array(Pattern(c.pattern), &count, &rate);
        EXPECT_EQ(array != nullptr, c.present) << c.pattern;
        if (c.present) {
            EXPECT_EQ(array, getIEC47RawArray(Pattern(c.pattern)));
        }
        EXPECT_EQ(count, c.count) << c.pattern;
        EXPECT_EQ(rate, 1000) << c.pattern;
    }
}

TEST(SpecialWaveArrays, NullOutputPointersAreTolerated) {
    EXPECT_NE(GetSpecialWave227Array(0, nullptr, nullptr), nullptr);
    EXPECT_NE(GetSpecialWave251Array(0, nullptr, nullptr), nullptr);
    EXPECT_NE(GetSpecialWave247Array(IEC247_PATTERN_0, nullptr, nullptr), nullptr);
}

}  // namespace
