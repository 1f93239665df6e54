// The HTTP client end to end: python3's http.server as the origin, tinyproxy as the proxy in between.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "base/APP_clock.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/http.h"
#include "support/server_process.h"
#include "support/test_support.h"

namespace {

std::string md5sum(const std::string& path) {
    std::string out;
    if (FILE* p = popen(("md5sum '" + path + "'").c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out.substr(0, 32);
}

void write_random(const std::string& path, size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (char& ch : bytes)
        ch = static_cast<char>(gen() & 0xFF);
    test::write_file(path, bytes);
}

class HttpProxyTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!test::have_program("python3") || !test::have_program("tinyproxy"))
            GTEST_SKIP() << "python3 and tinyproxy are needed (tools/install-deps.sh installs them)";
        OPT_parse_only("");
        HTTP_clear();
        APP_clock = frame_clock{}; // stands still: no transfer here may time out
        test::shell("mkdir -p '" + www() + "' '" + dir.file("got") + "'");
        log_path = dir.file("log.txt");
        FILE_open_ofstream(LOG_stream, log_path, std::ios_base::out, 0x40);
    }
    void TearDown() override {
        HTTP_clear();
        LOG_stream.close();
    }

    std::string www() const { return dir.file("www"); }

    // Polls as frames would; `during` runs between polls. 0 when `wall_s` passed without an end.
    int fetch(int key, const std::string& server, const std::string& path, const std::string& dest,
              const std::function<void()>& during = {}, int wall_s = 20) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(wall_s);
        int r = 0;
        while ((r = net_check(key, server, path, dest)) == 0 && std::chrono::steady_clock::now() < end) {
            if (during)
                during();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return r;
    }

    std::string log() {
        LOG_stream.flush();
        return test::read_file(log_path);
    }

    test::TempDir dir;
    std::string log_path;
};

} // namespace

TEST_F(HttpProxyTest, FilesArriveWholeThroughTheProxyOnOneKey) {
    struct {
        const char* name;
        size_t size;
    } files[] = {{"small.txt", 13}, {"empty.bin", 0}, {"medium.bin", 100 * 1024}, {"big five.zip", 5u << 20}};
    for (size_t i = 0; i < std::size(files); ++i)
        write_random(www() + "/" + files[i].name, files[i].size, static_cast<unsigned>(i + 1));
    test::HttpOrigin origin(www());
    ASSERT_TRUE(origin.ok());
    test::Tinyproxy proxy(dir.path());
    ASSERT_TRUE(proxy.ok());
    HTTP_manager().proxy_host = "127.0.0.1";
    HTTP_manager().proxy_port = std::to_string(proxy.port());
    HTTP_manager().port = proxy.port();
    const std::string server = "127.0.0.1:" + std::to_string(origin.port());

    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string dest = dir.file("got/") + f.name;
        EXPECT_EQ(fetch(20, server, std::string("/") + f.name, dest), 1) << log();
        EXPECT_EQ(md5sum(dest), md5sum(www() + "/" + f.name));
    }
    const std::string missing = dir.file("got/missing.zip");
    EXPECT_EQ(fetch(20, server, "/missing.zip", missing), 2);
    EXPECT_NE(log().find("HTTP Error for " + missing + "\n   server     =" + server +
                         "\n   file       =/missing.zip\n"),
              std::string::npos)
        << log();
    EXPECT_NE(log().find(" (#404)\n\n"), std::string::npos);
}

TEST_F(HttpProxyTest, AnOriginStoppedMidTransferFailsWithTheReport) {
    // Large enough that the sockets in between cannot hold what is left when the origin goes.
    {
        std::ofstream big(www() + "/huge.bin", std::ios::binary);
        big.seekp((64 << 20) - 1);
        big.put('\0');
    }
    test::HttpOrigin origin(www());
    ASSERT_TRUE(origin.ok());
    test::Tinyproxy proxy(dir.path());
    ASSERT_TRUE(proxy.ok());
    HTTP_manager().proxy_host = "127.0.0.1";
    HTTP_manager().port = proxy.port();
    const std::string server = "127.0.0.1:" + std::to_string(origin.port());
    const std::string dest = dir.file("got/huge.bin");

    bool stopped = false;
    int r = fetch(21, server, "/huge.bin", dest, [&] {
        if (!stopped && HTTP_key_percent(21) > 0.0f) {
            origin.stop();
            stopped = true;
        }
    });
    EXPECT_TRUE(stopped);
    EXPECT_EQ(r, 2);
    EXPECT_NE(log().find("HTTP Error for " + dest), std::string::npos) << log();
    EXPECT_NE(log().find("   IsComplete =0\n"), std::string::npos);
}
