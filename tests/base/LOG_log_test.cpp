// The log: lines, chunks and the direct stream, on a real file.
#include <gtest/gtest.h>

#include <cstdio>
#include <iomanip>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/APP_clock.h"
#include "base/LOG_log.h"
#include "base/hl_string.h"
#include "platform/APP_time.h"
#include "support/test_support.h"

namespace {

// Opens LOG_stream on a fresh file, with nothing left in the chunks from earlier tests.
class LogTest : public testing::Test {
  protected:
    void SetUp() override {
        LOG_init();
        LOG_flush();
        LOG_stream.close();
        LOG_stream.clear();
        APP_clock = frame_clock{};
        path_ = dir_.file("log.txt");
        FILE_open_ofstream(LOG_stream, path_, std::ios_base::out, 0x40);
        ASSERT_TRUE(LOG_stream.good());
    }
    void TearDown() override {
        LOG_flush();
        LOG_stream.close();
        LOG_stream.clear();
        APP_clock = frame_clock{};
        APP_clear_injected_microseconds();
    }
    std::string file() const { return test::read_file(path_); }

    test::TempDir dir_;
    std::string path_;
};

TEST_F(LogTest, LineBeforeTheFirstFrameWaitsInTheChunksUntilFlush) {
    LOG_write(1, "net", "x=%d", 5);
    EXPECT_EQ(file(), "");
    LOG_flush();
    EXPECT_EQ(file(), "0:00:00.000 I/net: x=5\n");
}

TEST_F(LogTest, TimeFieldIsTheFrameClocksElapsedTime) {
    const struct {
        double seconds;
        int level;
        const char* line;
    } cases[] = {
        {75.5, 0, "0:01:15.500 D/t: m\n"},
        {3725.25, 2, "1:02:05.250 W/t: m\n"},
        {3725.25, 3, "1:02:05.250 E/t: m\n"},
    };
    std::string expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        APP_clock = frame_clock{};
        APP_inject_microseconds(1000000);
        APP_frame_clock(APP_clock);
        APP_inject_microseconds(1000000 + static_cast<int64_t>(c.seconds * 1e6));
        APP_frame_clock(APP_clock);
        LOG_write(c.level, "t", "m");
        expected += c.line;
    }
    LOG_flush();
    EXPECT_EQ(file(), expected);
}

TEST_F(LogTest, LongMessageIsCutToOneLineOf4096Bytes) {
    const std::string big(10000, 'a');
    LOG_write(1, "net", "%s", big.c_str());
    LOG_flush();
    const std::string text = file();
    ASSERT_EQ(text.size(), 4096u);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\n'), 4095u);
    EXPECT_EQ(text.substr(0, 19), "0:00:00.000 I/net: ");
}

TEST_F(LogTest, MessageEndingInALineFeedGetsNoSecondOne) {
    LOG_write(1, "a", "done\n");
    LOG_write(1, "b", "%s", "");
    LOG_flush();
    EXPECT_EQ(file(), "0:00:00.000 I/a: done\n0:00:00.000 I/b: \n");
}

TEST_F(LogTest, ControlBytesAreWrittenAsHexEscapes) {
    const struct {
        const char* tag;
        std::string message;
        const char* line;
    } cases[] = {
        {"net", "a\x1b[2Jb", "I/net: a\\x1B[2Jb\n"},
        {"net", "two\nlines\r\n", "I/net: two\\x0Alines\\x0D\n"},
        {"t\tg", "del \x7f", "I/t\\x09g: del \\x7F\n"},
        {"net", "caf\xc3\xa9 \\x41", "I/net: caf\xc3\xa9 \\x41\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const size_t before = (LOG_flush(), file().size());
        LOG_write(1, c.tag, "%.*s", static_cast<int>(c.message.size()), c.message.data());
        LOG_flush();
        EXPECT_EQ(file().substr(before), std::string("0:00:00.000 ") + c.line);
    }
    const size_t nul_at = file().size();
    LOG_write(1, "net", "nul%c!", 0);
    LOG_flush();
    EXPECT_EQ(file().substr(nul_at), "0:00:00.000 I/net: nul\\x00!\n");
    EXPECT_EQ(LOG_escape(std::string("a\0\x1f\x20\x7f\x80", 6)), "a\\x00\\x1F \\x7F\x80");

    // A long message of control bytes is cut before an escape would be split, within one line of 4,096.
    const size_t before = file().size();
    LOG_write(1, "net", "%s", std::string(5000, '\x01').c_str());
    LOG_flush();
    const std::string line = file().substr(before);
    EXPECT_LE(line.size(), 4096u);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(line.substr(line.size() - 5), "\\x01\n");
}

TEST_F(LogTest, ChunksReachTheFileInWholeRunsAfterDirectText) {
    // Earlier tests leave the chunks partly filled, so this runs in a fresh process whose chunks start
    // empty; a mismatch is told on stderr and in the exit code.
    auto expect_file = [this](const std::string& want, const char* stage) {
        const std::string have = file();
        if (have != want) {
            size_t i = 0;
            while (i < have.size() && i < want.size() && have[i] == want[i])
                ++i;
            std::fprintf(stderr, "%s: %zu bytes, want %zu; first difference at %zu\n", stage, have.size(),
                         want.size(), i);
            _exit(1);
        }
    };
    EXPECT_EXIT(
        {
            // 700 numbered lines of exactly 100 bytes: 70,000 bytes, more than the four chunks hold.
            std::string all;
            for (int i = 0; i < 700; ++i) {
                char msg[100];
                std::snprintf(msg, sizeof msg, "line %04d %072d", i, 0);
                LOG_write(1, "t", "%s", msg);
                all += std::string("0:00:00.000 I/t: ") + msg + "\n";
            }
            expect_file(all.substr(0, 16384), "after 70,000 bytes");

            LOG_stream << "direct text " << 42 << "\n";
            LOG_stream.flush();
            expect_file(all.substr(0, 16384) + "direct text 42\n", "after the direct text");

            LOG_flush();
            expect_file(all.substr(0, 16384) + "direct text 42\n" + all.substr(16384), "after LOG_flush");
            LOG_flush();
            expect_file(all.substr(0, 16384) + "direct text 42\n" + all.substr(16384),
                        "after a second flush");
            _exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(LogTest, PrintfGoesStraightToTheFile) {
    LOG_write(1, "t", "waiting");
    LOG_printf("n=%d\n", 3);
    EXPECT_EQ(file(), "n=3\n");
}

TEST_F(LogTest, StreamThatCannotWriteOnlyGetsItsErrorState) {
    LOG_stream.close();
    LOG_stream.clear();
    FILE_open_ofstream(LOG_stream, "/dev/full", std::ios_base::out, 0x40);
    ASSERT_TRUE(LOG_stream.good());
    LOG_write(3, "t", "lost");
    LOG_flush();
    EXPECT_TRUE(LOG_stream.bad());
    LOG_write(3, "t", "also lost");
    LOG_flush();
}

// A fresh process: LOG_init never ran there.
TEST(LogBeforeInitDeathTest, WriteAndFlushDoNothingBeforeInit) {
    test::TempDir dir;
    const std::string path = dir.file("log.txt");
    EXPECT_EXIT(
        {
            FILE_open_ofstream(LOG_stream, path, std::ios_base::out, 0x40);
            LOG_write(3, "SYS", "| %s", "lost");
            LOG_flush();
            const char raw[] = "raw\n";
            LOG_append(raw, raw + 4);
            LOG_flush();
            LOG_stream << "direct\n";
            LOG_stream.close();
            _exit(test::read_file(path) == "direct\n" ? 0 : 3);
        },
        testing::ExitedWithCode(0), "");
}

// Eight threads mix LOG_write, LOG_flush and direct lines as worker threads write them (LOG_text), some
// longer than the stream's buffer, while the test's own thread builds lines with chained insertions into
// LOG_stream as the main thread does. Every direct and chained line must stand whole in the file; with
// them taken out, what is left must be every LOG_write line, whole and in each thread's order.
std::string direct_line(int t, int n, const std::string& pad) {
    const std::string more(n % 60 == 0 ? 10000 : 0, 'q');
    return STR_printf("[direct t=%d n=%d ", t, n) + pad + more + "]\n";
}

std::string chained_line(int n, const std::string& pad) {
    return STR_printf("[chained n=%d ", n) + pad + " 2.50 " + pad + "]\n";
}

TEST(LogConcurrentTest, ThreadsMixingBothWaysKeepEveryLineWhole) {
    test::TempDir dir;
    const std::string path = dir.file("log.txt");
    LOG_init();
    LOG_flush();
    LOG_stream.close();
    LOG_stream.clear();
    FILE_open_ofstream(LOG_stream, path, std::ios_base::out, 0x40);
    ASSERT_TRUE(LOG_stream.good());

    constexpr int threads = 8, per_thread = 600;
    const std::string pad(60, 'p');
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &pad] {
            for (int n = 0; n < per_thread; ++n) {
                if (n % 3 == 0)
                    LOG_text(direct_line(t, n, pad));
                else
                    LOG_write(1, "w", "t=%d n=%d %s", t, n, pad.c_str());
                if (n % 97 == 0)
                    LOG_flush();
            }
        });
    }
    constexpr int chained = 3000;
    for (int n = 0; n < chained; ++n) {
        LOG_stream << "[chained n=" << n << ' ' << pad << ' ' << std::fixed << std::setprecision(2) << 2.5
                   << ' ' << pad << "]\n";
        if (n % 50 == 0)
            LOG_stream.flush();
    }
    for (std::thread& w : workers)
        w.join();
    LOG_flush();
    LOG_stream.close();
    ASSERT_FALSE(LOG_stream.fail());

    std::string text = test::read_file(path);
    int next_direct[threads] = {}, next_logged[threads] = {}, next_chained = 0;
    std::string rest;
    size_t pos = 0;
    for (size_t at; (at = text.find('[', pos)) != std::string::npos;) {
        rest.append(text, pos, at - pos);
        const size_t end = text.find("]\n", at);
        ASSERT_NE(end, std::string::npos);
        pos = end + 2;
        int t = -1, n = -1;
        if (std::sscanf(text.c_str() + at, "[chained n=%d ", &n) == 1) {
            ASSERT_EQ(text.substr(at, end + 2 - at), chained_line(n, pad));
            EXPECT_EQ(n, next_chained++);
            continue;
        }
        ASSERT_EQ(std::sscanf(text.c_str() + at, "[direct t=%d n=%d ", &t, &n), 2);
        ASSERT_TRUE(t >= 0 && t < threads);
        ASSERT_EQ(text.substr(at, end + 2 - at), direct_line(t, n, pad));
        EXPECT_EQ(n, next_direct[t]);
        next_direct[t] = n + 3;
    }
    rest.append(text, pos, std::string::npos);

    for (size_t start = 0; start < rest.size();) {
        const size_t end = rest.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = rest.substr(start, end + 1 - start);
        int t = -1, n = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "0:00:00.000 I/w: t=%d n=%d ", &t, &n), 2) << line;
        ASSERT_TRUE(t >= 0 && t < threads);
        ASSERT_EQ(line, STR_printf("0:00:00.000 I/w: t=%d n=%d %s\n", t, n, pad.c_str()));
        if (next_logged[t] % 3 == 0)
            ++next_logged[t];
        EXPECT_EQ(n, next_logged[t]);
        next_logged[t] = n + 1;
        start = end + 1;
    }
    for (int t = 0; t < threads; ++t) {
        EXPECT_EQ(next_direct[t], per_thread) << t;
        EXPECT_EQ(next_logged[t], per_thread) << t;
    }
    EXPECT_EQ(next_chained, chained);
    LOG_stream << std::defaultfloat << std::setprecision(6);
    LOG_stream.clear();
}

} // namespace
