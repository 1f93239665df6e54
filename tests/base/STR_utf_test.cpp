// UTF-8 <-> UTF-16 conversion: the documented cases, cut sequences, and agreement with iconv.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <random>
#include <string>

#include "base/STR_utf.h"

namespace {

std::u16string to16(const std::string& s) {
    std::u16string out = u"stale";
    STR_utf8_to_utf16(s, out);
    return out;
}

std::string to8(const std::u16string& s) {
    std::string out = "stale";
    STR_utf16_to_utf8(s, out);
    return out;
}

// Converts with iconv; returns false when iconv refuses.
bool iconv_convert(const char* to, const char* from, const std::string& in, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string src = in;
    out.assign(in.size() * 4 + 16, '\0');
    char* ip = src.data();
    size_t il = src.size();
    char* op = out.data();
    size_t ol = out.size();
    size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1))
        return false;
    out.resize(out.size() - ol);
    return true;
}

std::string u16_bytes_le(const std::u16string& s) {
    std::string b;
    for (char16_t u : s) {
        b.push_back(static_cast<char>(u & 0xFF));
        b.push_back(static_cast<char>(u >> 8));
    }
    return b;
}

} // namespace

TEST(StrUtfTest, DocumentedCasesConvert) {
    const struct {
        const char* name;
        std::string utf8;
        std::u16string utf16;
        bool round_trips;
    } cases[] = {
        {"e acute", "\xC3\xA9", u"\u00E9", true},
        {"surrogate pair", "\xF0\x9F\x98\x80", std::u16string{0xD83D, 0xDE00}, true},
        {"three-byte lead with one continuation", "\xE2\x82\x41", std::u16string{0x2081, 0x41}, false},
        {"stray continuation byte first", "\x80", std::u16string{0}, false},
        {"byte F8 and up", "\xF8\x41", std::u16string{0, 0x41}, false},
        {"empty", "", u"", true},
        {"ascii", "Sim-Root/a b.txt", u"Sim-Root/a b.txt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(to16(c.utf8), c.utf16);
        if (c.round_trips) {
            EXPECT_EQ(to8(c.utf16), c.utf8);
        }
    }
}

TEST(StrUtfTest, EncodeWritesNothingAboveTheLastCodePoint) {
    char buf[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(STR_utf8_encode(0x110000, buf), 0);
    EXPECT_EQ(std::string(buf, 4), "xxxx");
    EXPECT_EQ(STR_utf8_encode(0x10FFFF, buf), 4);
    EXPECT_EQ(std::string(buf, 4), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(STR_utf8_encode(0x7F, buf), 1);
    EXPECT_EQ(STR_utf8_encode(0x80, buf), 2);
    EXPECT_EQ(STR_utf8_encode(0xFFFF, buf), 3);
}

TEST(StrUtfTest, LoneSurrogatesAreEncodedAsThemselves) {
    EXPECT_EQ(to8(std::u16string{0xDC00, 0x41}), "\xED\xB0\x80"
                                                 "A");
    // A final high surrogate has nothing to pair with.
    EXPECT_EQ(to8(std::u16string{0x41, 0xD83D}), "A\xED\xA0\xBD");
}

TEST(StrUtfTest, SequenceCutAtTheBufferEndStopsAtTheTerminator) {
    // Exactly three bytes on the heap, so ASan catches any read past the NUL.
    std::unique_ptr<char[]> buf(new char[3]{'\xE2', '\x82', '\0'});
    unsigned int cp = 99;
    const char* next = STR_utf8_decode(buf.get(), &cp);
    EXPECT_EQ(cp, 0u);
    EXPECT_EQ(next, buf.get() + 2);

    std::unique_ptr<char[]> four(new char[2]{'\xF0', '\0'});
    next = STR_utf8_decode(four.get(), &cp);
    EXPECT_EQ(cp, 0u);
    EXPECT_EQ(next, four.get() + 1);

    EXPECT_EQ(to16(std::string("\xE2\x82")), std::u16string{0});
    EXPECT_EQ(to16(std::string("a\xF0\x9F\x98")), (std::u16string{0x61, 0}));
}

TEST(StrUtfTest, DecodeWalksAStringToItsTerminator) {
    std::string s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const unsigned int want[] = {0x61, 0xE9, 0x20AC, 0x1F600};
    const char* p = s.c_str();
    for (unsigned int w : want) {
        unsigned int cp;
        p = STR_utf8_decode(p, &cp);
        EXPECT_EQ(cp, w);
    }
    EXPECT_EQ(p, s.c_str() + s.size());
}

TEST(StrUtfTest, RandomValidTextRoundTripsAndAgreesWithIconv) {
    std::mt19937 rng(2024);
    // Ranges weighted so that every encoded length and both planes appear.
    std::uniform_int_distribution<int> range(0, 3);
    for (int round = 0; round < 200; ++round) {
        std::string utf32;
        int n = static_cast<int>(rng() % 64);
        for (int i = 0; i < n; ++i) {
            uint32_t cp;
            switch (range(rng)) {
            case 0:
                cp = 1 + rng() % 0x7F;
                break;
            case 1:
                cp = 0x80 + rng() % (0x800 - 0x80);
                break;
            case 2:
                do
                    cp = 0x800 + rng() % (0x10000 - 0x800);
                while (cp >= 0xD800 && cp <= 0xDFFF);
                break;
            default:
                cp = 0x10000 + rng() % (0x110000 - 0x10000);
                break;
            }
            for (int k = 0; k < 4; ++k)
                utf32.push_back(static_cast<char>((cp >> (8 * k)) & 0xFF));
        }
        std::string utf8, utf16le;
        ASSERT_TRUE(iconv_convert("UTF-8", "UTF-32LE", utf32, utf8));
        ASSERT_TRUE(iconv_convert("UTF-16LE", "UTF-32LE", utf32, utf16le));
        SCOPED_TRACE(round);

        std::u16string ours16 = to16(utf8);
        EXPECT_EQ(u16_bytes_le(ours16), utf16le);
        EXPECT_EQ(to8(ours16), utf8);

        std::string back;
        ASSERT_TRUE(iconv_convert("UTF-8", "UTF-16LE", u16_bytes_le(ours16), back));
        EXPECT_EQ(back, utf8);
    }
}
