/* Compiled as strict C99: the public header must stand on its own. */
#include "orvo.h"

int orvo_header_check(void)
{
    MODEL_INFORMATION model;
    HW_INFORMATION hw;
    RAW_ECG_DATA raw;
    _DEVICE_CONTROL_SETTING setting;
    (void)model;
    (void)hw;
    (void)raw;
    (void)setting;
    return (int)sizeof(MODEL_INFORMATION) + ORVOGetVersion();
}

typedef char model_is_12_bytes[sizeof(MODEL_INFORMATION) == 12 ? 1 : -1];
typedef char hw_is_20_bytes[sizeof(HW_INFORMATION) == 20 ? 1 : -1];
typedef char control_is_64_bytes[sizeof(_DEVICE_CONTROL_SETTING) == 64 ? 1 : -1];
