// Test support: engine-level checks without a device. Parameters are set
// directly under the library lock and applied with _Change; the evaluator is
// called at chosen times.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

namespace orvo::test {

// Restores the engine defaults before and after each test and switches the
// output off afterwards, so tests sharing one process do not leak settings.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Every parameter an engine-level test changes, back to its load-time value.
    static void RestoreDefaults();
    // Makes function the main output and applies the parameters.
    static void Select(uint32_t function);
    // The main function's voltage (mV) at t within the period, with the
    // playback clock at outputTime (s).
    static double VoltageAt(double t, double outputTime = 0.0);
};

}  // namespace orvo::test
