// Text helpers shared inside the library (trimming, splitting, date and time
// parsing, UTF-8 decoding). The exported declarations live in orvo.h; this
// header adds the values the helpers report when they cannot parse.
#ifndef ORVO_UTIL_STDAFX_H
#define ORVO_UTIL_STDAFX_H

#include "orvo.h"

namespace orvo {

// parseDate's result for a text it cannot read (yyyymmdd).
constexpr int kDateParseFailure = 20110101;
// parseTime's result for a text it cannot read (hhmmss).
constexpr int kTimeParseFailure = 0;
// UTF8ToUnicodeChar's result for a byte sequence it cannot decode.
constexpr wchar_t kUndecodableChar = 0x22E0;

}  // namespace orvo

#endif  // ORVO_UTIL_STDAFX_H
