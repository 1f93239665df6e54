// Text and number helpers: fixed-width numbers, printf into strings, the length guard, the integer parser.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "base/LOG_log.h"
#include "base/hl_string.h"
#include "support/test_support.h"

namespace {

TEST(StringTest, IntToFixedString) {
    const struct {
        int value, digits, mode, negative;
        const char* text;
    } cases[] = {
        {7, 3, 1, 0, "007"},
        {7, 3, 2, 0, "  7"},
        {7, 3, 3, 0, "+007"},
        {7, 3, 0, 0, "7"},
        {-7, 3, 1, 0, "-007"},
        {-7, 3, 2, 0, "-  7"},
        {0, 2, 1, 1, "-00"},
        {1234, 2, 1, 0, "1234"},
        {5, 12, 1, 0, "00000005"},
        {123456789, 0, 0, 0, "23456789"},
        {100000005, 0, 0, 0, "00000005"},
        {INT_MAX, 0, 0, 0, "47483647"},
        {INT_MIN, 0, 3, 0, "-47483648"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string out = "old";
        STR_int_to_fixed_string(c.value, out, c.digits, c.mode, c.negative);
        EXPECT_EQ(out, c.text);
    }
}

TEST(StringTest, FloatToFixedString) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float value;
        int width, decimals, mode;
        const char* text;
    } cases[] = {
        {3.14159f, 5, 2, 1, "003.14"},
        {0.125f, 4, 2, 0, "0.13"},
        {-0.5f, 3, 1, 1, "-00.5"},
        {-2.25f, 4, 1, 2, "-  2.3"},
        {99.96f, 5, 1, 0, "100.0"},
        {2.5f, 4, 0, 2, "   2"},
        {-42.9f, 3, 0, 1, "-042"},
        // Too wide for the width: mantissa, "x", power of ten.
        {12345.0f, 3, 0, 0, "1.2x4"},
        {-12345.0f, 3, 0, 0, "-1.2x4"},
        {9.6f, 1, 0, 0, "9.6x0"},
        {123456.0f, 6, 0, 1, "123456"},
        {123456.0f, 5, 0, 1, "1.23x5"},
        {-7654321.0f, 6, 0, 1, "-7.654x6"},
        {1e20f, 4, 0, 0, "1.0x20"},
        // Infinity, NaN and values beyond the int range end at once.
        {inf, 5, 2, 1, "  inf"},
        {-inf, 2, 0, 0, "-inf"},
        {nan, 4, 0, 0, " nan"},
        {3e38f, 4, 2, 1, "21474836.47"},
        {-3e38f, 12, 0, 0, "-47483648"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string out = "old";
        STR_float_to_fixed_string(c.value, out, c.width, c.decimals, c.mode);
        EXPECT_EQ(out, c.text);
    }
}

TEST(StringTest, PrintfHandlesEveryLength) {
    EXPECT_EQ(STR_printf("%d", 5), "5");
    EXPECT_EQ(STR_printf("%s", "123456789"), "123456789");
    EXPECT_EQ(STR_printf("%s", "1234567890"), "1234567890");
    EXPECT_EQ(STR_printf("%s", ""), "");
    // Long enough for the second formatting pass, which must see the arguments afresh.
    const std::string a(6000, 'a'), b(3997, 'b');
    const std::string out = STR_printf("%s<%d>%s", a.c_str(), 7, b.c_str());
    EXPECT_EQ(out.size(), 10000u);
    EXPECT_EQ(out, a + "<7>" + b);
    std::string f = "old";
    STR_printf_float(f, "%.2f s", 1.5f);
    EXPECT_EQ(f, "1.50 s");
}

TEST(StringTest, DigitValueAndIsInteger) {
    EXPECT_EQ(STR_digit_value('+'), 1);
    EXPECT_EQ(STR_digit_value('-'), -1);
    EXPECT_EQ(STR_digit_value('0'), 0);
    EXPECT_EQ(STR_digit_value('9'), 9);
    EXPECT_EQ(STR_digit_value('a'), 0);
    EXPECT_TRUE(STR_is_integer("12"));
    EXPECT_TRUE(STR_is_integer("--"));
    EXPECT_FALSE(STR_is_integer(""));
    EXPECT_FALSE(STR_is_integer("1 2"));
}

TEST(StringTest, ParseInt) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"42", 42},
        {"-42", -42},
        {"+42", 42},
        {"4a", -1},
        {"", -1},
        {"1234567890", -1},
        {"123456789", 123456789},
        {"-123456789", -123456789},
        {"007", 7},
        {"0", 0},
        {"-0", 0},
        {"8080", 8080},
        // A sign only as the first character.
        {"80-81", -1},
        {"--", -1},
        {"+-5", -1},
        {"5-", -1},
        {"+", -1},
        {"-", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(STR_parse_int(c.text), c.value);
    }
}

TEST(StringDeathTest, CheckLengthAlertsFrom500Bytes) {
    test::ScopedEnv no_display("DISPLAY", std::nullopt);
    test::ScopedEnv no_wayland("WAYLAND_DISPLAY", std::nullopt);
    const std::string ok(499, 's');
    STR_check_length(ok.c_str());
    const std::string long_text(500, 's');
    // The log block carries the source text; the child's log goes to stderr so the matcher sees it.
    auto alert_with_log_on_stderr = [&] {
        LOG_init();
        FILE_open_ofstream(LOG_stream, "/dev/stderr", std::ios_base::out, 0x40);
        STR_check_length(long_text.c_str());
    };
    EXPECT_EXIT(alert_with_log_on_stderr(), testing::ExitedWithCode(1),
                "String too long!.*\\| \\(hl_string:186\\)");
}

} // namespace
