// hl_string: fixed-width number text, printf into strings, the C-string length guard and the strict
// integer parser. All reentrant; any thread.
#pragma once
#include <cstdarg>
#include <string>

// Decimal text of `value` into `out` (replaced). Sign: "-" when the value is negative or `negative` is
// set, else "+" in mode 3. Padding up to `digits` (at most 8) positions: modes 1 and 3 with zeros, mode 2
// with blanks, any other mode none. The units digit is always written; digits above the eighth are lost.
// 7 with 3 digits: "007" (mode 1), "  7" (2), "+007" (3), "7" (0).
void STR_int_to_fixed_string(int value, std::string& out, int digits, int mode, int negative);

// Fixed-point text of `value` into `out` (replaced).
// decimals > 0: |value| * 10^decimals rounded half up (clamped to the int range), the whole part with
//   width - decimals digits in `mode` (signed for a negative value), ".", the rest zero padded.
// decimals <= 0: the value truncated, with `width` digits; a value too wide for the width (above 9.5
//   for width < 2, 99.5 for width < 3, ... 99,999,999.5 for width < 9) is written as mantissa "x" power of
//   ten: 12345 with width 3 gives "1.2x4".
// Infinity and NaN give "inf", "-inf" and "nan", right-aligned to `width`.
void STR_float_to_fixed_string(float value, std::string& out, int width, int decimals, int mode);

// printf into `out` (replaced), of any length.
void STR_vprintf(std::string& out, const char* format, va_list args);
std::string STR_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// `format` applied to `value` (as a double) into `out` (replaced).
void STR_printf_float(std::string& out, const char* format, float value);

// Formats, writes the text straight into LOG_stream and flushes it.
void LOG_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Nothing when `s` is shorter than 500 bytes; otherwise the fatal alert (kind 3) "String too long!" with
// the string, from hl_string line 186.
void STR_check_length(const char* s);

// '+' 1, '-' -1, a digit its value, anything else 0.
int STR_digit_value(char c);
// True when `s` is not empty and holds only digits, '+' and '-'.
bool STR_is_integer(const std::string& s);
// An optional leading '+' or '-', then 1 to 9 digits: the value; anything else gives -1 (so "-1" and "not
// an integer" read the same: callers treat -1 as not an integer).
int STR_parse_int(const std::string& s);
