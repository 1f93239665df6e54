// hl_string: fixed-width number text, printf into strings, the length guard and the integer parser.
#include "base/hl_string.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/APP_alert.h"
#include "base/LOG_log.h"

void STR_int_to_fixed_string(int value, std::string& out, int digits, int mode, int negative) {
    out.clear();
    if (value < 0 || negative)
        out += '-';
    else if (mode == 3)
        out += '+';
    // 64 bits, so that INT_MIN has an absolute value.
    const long long v = std::llabs(static_cast<long long>(value));
    const bool pads = mode == 1 || mode == 2 || mode == 3;
    long long place = 10000000; // the eighth position
    for (int pos = 8; pos >= 2; --pos, place /= 10) {
        if (v >= place)
            out += static_cast<char>('0' + v / place % 10);
        else if (digits >= pos && pads)
            out += mode == 2 ? ' ' : '0';
    }
    out += static_cast<char>('0' + v % 10);
}

static int clamp_to_int(double v) {
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

void STR_float_to_fixed_string(float value, std::string& out, int width, int decimals, int mode) {
    if (!std::isfinite(value)) {
        const char* text = std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
        const int len = static_cast<int>(std::strlen(text));
        out.assign(width > len ? static_cast<size_t>(width - len) : 0, ' ');
        out += text;
        return;
    }
    if (decimals > 0) {
        const double scale = std::pow(10.0, decimals);
        const int scaled = clamp_to_int(std::floor(std::fabs(static_cast<double>(value)) * scale + 0.5));
        const int whole = static_cast<int>(std::floor(scaled / scale));
        const int rest_value = static_cast<int>(scaled - whole * scale);
        std::string rest;
        STR_int_to_fixed_string(whole, out, width - decimals, mode, value < 0);
        STR_int_to_fixed_string(rest_value, rest, decimals, 1, 0);
        out += '.';
        out += rest;
        return;
    }
    // Too wide: above 9.5 with a width below 2, above 99.5 below 3, ... above 99,999,999.5 below 9.
    const double magnitude = std::fabs(static_cast<double>(value));
    bool too_wide = false;
    double limit = 9.5;
    for (int w = 2; w <= 9; ++w, limit = limit * 10.0 + 4.5)
        if (magnitude > limit && width < w)
            too_wide = true;
    if (!too_wide) {
        STR_int_to_fixed_string(clamp_to_int(static_cast<double>(value)), out, width, mode, 0);
        return;
    }
    // Mantissa "x" power of ten; the power is written in full (finite floats reach 38).
    double mantissa = value;
    int power = 0;
    while (std::fabs(mantissa) >= 10.0) {
        mantissa /= 10.0;
        ++power;
    }
    const int w = width - 2 > 2 ? width - 2 : 2;
    STR_float_to_fixed_string(static_cast<float>(mantissa), out, w, w - 1, mode);
    out += 'x';
    out += std::to_string(power);
}

void STR_vprintf(std::string& out, const char* format, va_list args) {
    // Each formatting pass consumes a va_list, so the second one works on a copy.
    va_list again;
    va_copy(again, args);
    char small[10];
    const int n = std::vsnprintf(small, sizeof small, format, args);
    if (n < 0) {
        out.clear();
    } else if (n < static_cast<int>(sizeof small)) {
        out.assign(small, static_cast<size_t>(n));
    } else {
        out.assign(static_cast<size_t>(n), '\0');
        std::vsnprintf(out.data(), static_cast<size_t>(n) + 1, format, again);
    }
    va_end(again);
}

std::string STR_printf(const char* format, ...) {
    std::string out;
    va_list args;
    va_start(args, format);
    STR_vprintf(out, format, args);
    va_end(args);
    return out;
}

// Variadic forwarder for a format that is not a literal (the caller's).
static void printf_into(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    STR_vprintf(out, format, args);
    va_end(args);
}

void STR_printf_float(std::string& out, const char* format, float value) {
    printf_into(out, format, static_cast<double>(value));
}

void LOG_printf(const char* format, ...) {
    std::string text;
    va_list args;
    va_start(args, format);
    STR_vprintf(text, format, args);
    va_end(args);
    LOG_text(text);
}

void STR_check_length(const char* s) {
    if (strnlen(s, 500) < 500)
        return;
    APP_alert(0, "String too long!", s, "", "", 3, "hl_string", 186);
}

int STR_digit_value(char c) {
    if (c == '+')
        return 1;
    if (c == '-')
        return -1;
    if (c >= '0' && c <= '9')
        return c - '0';
    return 0;
}

bool STR_is_integer(const std::string& s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (!(c >= '0' && c <= '9') && c != '+' && c != '-')
            return false;
    return true;
}

int STR_parse_int(const std::string& s) {
    if (!STR_is_integer(s))
        return -1;
    size_t i = 0;
    int sign = 1;
    if (s[0] == '+') {
        i = 1;
    } else if (s[0] == '-') {
        i = 1;
        sign = -1;
    }
    const size_t count = s.size() - i;
    if (count < 1 || count > 9)
        return -1;
    int value = 0;
    for (; i < s.size(); ++i) {
        // A sign is taken only as the first character: "80-81" is not a number.
        if (s[i] < '0' || s[i] > '9')
            return -1;
        value = value * 10 + STR_digit_value(s[i]);
    }
    return value * sign;
}
