// The output file stream: open modes, close-on-exec, and failures shown in the stream's state.
#include <gtest/gtest.h>

#include <string>

#include "base/x_ofstream.h"
#include "support/test_support.h"

namespace {

TEST(OfstreamTest, OpenModesFollowTheStandardFileBuffer) {
    test::TempDir dir;
    const std::string path = dir.file("f.txt");
    const struct {
        std::ios_base::openmode mode;
        const char* text;
        const char* result;
    } cases[] = {
        {std::ios_base::out, "abc", "abc"},
        {std::ios_base::app, "de", "abcde"},
        {std::ios_base::out | std::ios_base::trunc, "x", "x"},
        {std::ios_base::in, "y", "y"}, // in | out: no truncation, writes from the start
        {std::ios_base::binary | std::ios_base::app, "z", "yz"},
        {std::ios_base::in | std::ios_base::ate, "!", "yz!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        x_ofstream s;
        FILE_open_ofstream(s, path, c.mode, 0x40);
        ASSERT_TRUE(s.good());
        ASSERT_TRUE(s.is_open());
        s << c.text;
        s.close();
        EXPECT_FALSE(s.fail());
        EXPECT_EQ(test::read_file(path), c.result);
    }
}

TEST(OfstreamTest, PositionAndLargeWrites) {
    test::TempDir dir;
    const std::string path = dir.file("big.txt");
    x_ofstream s;
    FILE_open_ofstream(s, path, std::ios_base::out, 0x40);
    const std::string big(100000, 'b');
    s << "head " << 12 << ' ';
    s << big;
    s.put('\n');
    EXPECT_EQ(static_cast<long long>(s.tellp()), 8 + 100000 + 1);
    s.close();
    EXPECT_EQ(test::read_file(path), "head 12 " + big + "\n");
}

TEST(OfstreamTest, FailuresSetTheStreamState) {
    test::TempDir dir;
    x_ofstream missing;
    FILE_open_ofstream(missing, dir.file("no/such/folder.txt"), std::ios_base::out, 0x40);
    EXPECT_TRUE(missing.fail());
    EXPECT_FALSE(missing.is_open());

    x_ofstream full;
    FILE_open_ofstream(full, "/dev/full", std::ios_base::out, 0x40);
    ASSERT_TRUE(full.good());
    full << "x";
    full.flush();
    EXPECT_TRUE(full.bad());
    full.close();
    EXPECT_TRUE(full.fail());

    // A failed open does not disturb a stream; reopening clears its state.
    FILE_open_ofstream(full, dir.file("ok.txt"), std::ios_base::out, 0x40);
    EXPECT_TRUE(full.good());
    full << "fine";
    full.close();
    EXPECT_FALSE(full.fail());
    EXPECT_EQ(test::read_file(dir.file("ok.txt")), "fine");
}

TEST(OfstreamTest, ChildProcessesDoNotInheritTheFile) {
    test::TempDir dir;
    const std::string path = dir.file("held.txt");
    x_ofstream s;
    FILE_open_ofstream(s, path, std::ios_base::out, 0x40);
    ASSERT_TRUE(s.is_open());
    const std::string listing = dir.file("fds.txt");
    ASSERT_EQ(test::shell("ls -l /proc/self/fd/ > '" + listing + "'"), 0);
    const std::string fds = test::read_file(listing);
    EXPECT_NE(fds.find("fds.txt"), std::string::npos); // the listing sees its own redirection
    EXPECT_EQ(fds.find("held.txt"), std::string::npos);
}

} // namespace
