// MD5 digest: RFC 1321 vectors, padding boundaries, piecewise feeding and a 64-bit bit count.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/MD5_digest.h"
#include "support/test_support.h"

namespace {

std::string hex_of(const unsigned char digest[16]) {
    std::string s;
    char b[3];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(b, sizeof b, "%02x", digest[i]);
        s += b;
    }
    return s;
}

std::string md5_hex(const std::string& bytes) {
    MD5_context ctx;
    MD5_init(&ctx);
    MD5_update(&ctx, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    MD5_final(&ctx);
    return hex_of(ctx.digest);
}

} // namespace

TEST(MD5DigestTest, Rfc1321TestSuiteGivesItsDigests) {
    const struct {
        const char* text;
        const char* md5;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(md5_hex(c.text), c.md5);
    }
}

TEST(MD5DigestTest, CorpusVectorsMatch) {
    TEST_NEED_CORPUS(dir);
    int checked = 0;
    {
        std::ifstream f(dir + "/md5/rfc1321_vectors.tsv");
        std::string line;
        while (std::getline(f, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            size_t tab = line.find('\t');
            ASSERT_NE(tab, std::string::npos) << line;
            std::string quoted = line.substr(tab + 1);
            ASSERT_GE(quoted.size(), 2u);
            ASSERT_EQ(quoted.find('\\'), std::string::npos) << "escapes are not expected: " << line;
            SCOPED_TRACE(line);
            EXPECT_EQ(md5_hex(quoted.substr(1, quoted.size() - 2)), line.substr(0, tab));
            ++checked;
        }
    }
    {
        std::ifstream f(dir + "/md5/boundary_vectors.tsv");
        std::string line;
        while (std::getline(f, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            size_t tab = line.find('\t');
            ASSERT_NE(tab, std::string::npos) << line;
            SCOPED_TRACE(line);
            EXPECT_EQ(md5_hex(std::string(std::stoul(line.substr(tab + 1)), 'a')), line.substr(0, tab));
            ++checked;
        }
    }
    EXPECT_GE(checked, 19);
}

// Without the corpus, the test above fails in a CI run and is skipped elsewhere.
TEST(MD5DigestTest, AMissingCorpusFailsOnlyInACiRun) {
    const struct {
        std::optional<std::string> ci;
        bool fails;
    } cases[] = {{"true", true}, {std::nullopt, false}, {"false", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ci.value_or("(unset)"));
        const test::ChildResult r =
            test::run_child({"/proc/self/exe", "--gtest_filter=MD5DigestTest.CorpusVectorsMatch"},
                            {{"CI", c.ci}, {"AERIVON_CORPUS_DIR", "/nonexistent/corpus"}});
        EXPECT_EQ(r.exit_code != 0, c.fails) << r.out;
        EXPECT_NE(r.out.find(c.fails ? "[  FAILED  ] MD5DigestTest.CorpusVectorsMatch"
                                     : "[  SKIPPED ] MD5DigestTest.CorpusVectorsMatch"),
                  std::string::npos)
            << r.out;
    }
}

TEST(MD5DigestTest, OneCallEqualsPiecesOfAThousandBytes) {
    std::vector<unsigned char> bytes(200000);
    uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    MD5_context whole, pieces, shorts;
    MD5_init(&whole);
    MD5_update(&whole, bytes.data(), bytes.size());
    EXPECT_EQ(whole.count[0], 200000u * 8u);
    MD5_final(&whole);
    MD5_init(&pieces);
    MD5_init(&shorts);
    for (size_t i = 0; i < bytes.size(); i += 1000) {
        MD5_update(&pieces, bytes.data() + i, 1000);
        MD5_update_short(&shorts, bytes.data() + i, 1000);
    }
    MD5_final(&pieces);
    MD5_final(&shorts);
    EXPECT_EQ(hex_of(whole.digest), hex_of(pieces.digest));
    EXPECT_EQ(hex_of(whole.digest), hex_of(shorts.digest));
}

TEST(MD5DigestTest, SixHundredMebibytesOfZerosCarryTheBitCountIntoTheHighWord) {
#ifdef AERIVON_SANITIZED
    GTEST_SKIP() << "too slow under the sanitizers";
#else
    std::vector<unsigned char> zeros(1 << 20, 0);
    MD5_context ctx;
    MD5_init(&ctx);
    for (int i = 0; i < 600; ++i)
        MD5_update(&ctx, zeros.data(), zeros.size());
    EXPECT_EQ(ctx.count[1], 1u); // 600 MiB is 5,033,164,800 bits
    MD5_final(&ctx);
    EXPECT_EQ(hex_of(ctx.digest), "e4d6540f99f187bab7d5e0f47e5969a9");
#endif
}
