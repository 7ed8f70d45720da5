#include "engine_fixture.h"

#include "api/globals.h"
#include "engine/engine.h"
#include "engine/parameters.h"

namespace orvo::test {

void EngineTest::SetUp()
{
    RestoreDefaults();
}

void EngineTest::TearDown()
{
    Select(FUNC_OFF);
    RestoreDefaults();
}

void EngineTest::RestoreDefaults()
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_F = 1.0;
    g_Amplitude = 1.0;
    g_PulseWidth = 100.0;
    g_QRSDuration = 100.0;
    g_PDuration = 100.0;
    g_PRInterval = 160.0;
    g_QTInterval = 350.0;
    g_STSegment = 70.0;
    g_TDuration = 180.0;
    g_CusP = 0.2;
    g_CusT = 0.2;
    g_CusST = 0.0;
    g_PA = 0.0;
    g_MainNoise = 0;
    g_MainsNoiseAmp = 0.1;
    g_AAMIDriftTest = false;
    g_AAMIDriftTestAmp = 4.0;
    g_AAMIDriftTestWaveLen = 10.0;
    g_AAMIDriftTestWaveLenQuad = 2.5;
    g_AAMIDriftTestWaveLenQuad3 = 7.5;
    g_AAMIDriftTestSlope = 0.8;
    g_DynamicRangeTest = false;
    g_ADynamicRange = 1.0;
    g_FDynamicRange = 40.0;
    g_nSpecialWaveform = 0;
    g_nANE20000ChannelNumber = 0;
    g_fOutputTime = 0.0;
    s_BaselineModV = s_AmpModV = s_FreqModHz = 0.0;
}

void EngineTest::Select(uint32_t function)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_MainOutput = function;
    _Change();
}

double EngineTest::VoltageAt(double t, double outputTime)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_fOutputTime = outputTime;
    return _GetMainFunctionVoltage(t);
}

}  // namespace orvo::test
