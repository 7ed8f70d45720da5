// The main-channel sample evaluator: one branch per output function.
#include "engine/engine.h"
#include "engine/parameters.h"
#include "orvo.h"

double _GetMainFunctionVoltage(double t)
{
    switch (g_MainOutput) {
    case FUNC_SINE:
    case FUNC_TRIANGLE:
    case FUNC_SQUARE:
    case FUNC_PULSE:
    case FUNC_TRIANGLE_PULSE:
    case FUNC_EXP_DECAY:
    case FUNC_BIPOLAR_EXP:
        return TestFunctionVoltage(g_MainOutput, t);
    case FUNC_ECG_QRS_T:
    case FUNC_ECG_PQRST:
        return EcgVoltage(t);
    case FUNC_IEC227:
    case FUNC_IEC251:
    case FUNC_IEC247:
    case FUNC_ANE20000:
    case FUNC_FILE:
    case FUNC_FILE_WITH_DC:
        return DataFunctionVoltage(g_MainOutput, t);
    case FUNC_DC_RANGE_SWEEP:
        return DcSweepMainVoltage();
    default:
        // Functions 11 and 12 have no shape parameters; unknown codes are silent.
        return 0.0;
    }
}
