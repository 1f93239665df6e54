// shell_harness: a program of the toolkit (the installer, or the toolkit driver) on an X server of its own
// under a temporary HOME, with xdotool, screenshots and golden images.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include <array>
#include <filesystem>
#include <memory>

#include "support/close_request.h"
#include "support/test_support.h"
#include "ui/gui_harness.h"

namespace shell {

// An RGB picture, rows from the top; empty when it could not be read.
struct image {
    int width = 0, height = 0;
    std::string rgb;
    std::array<int, 3> at(int x, int y) const {
        const char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return {static_cast<uint8_t>(p[0]), static_cast<uint8_t>(p[1]), static_cast<uint8_t>(p[2])};
    }
    bool empty() const { return rgb.empty(); }
};

inline std::string sh_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// `file` (any format ImageMagick reads, with its crop options) decoded through a binary PPM.
inline image read_image(const std::string& file, const std::string& options = "") {
    std::string data;
    if (FILE* f = popen(("convert " + sh_quote(file) + " " + options + " -depth 8 ppm:- 2>/dev/null").c_str(),
                        "r")) {
        char buf[65536];
        for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;)
            data.append(buf, n);
        pclose(f);
    }
    image img;
    int maxval = 0, header = 0;
    if (std::sscanf(data.c_str(), "P6 %d %d %d%n", &img.width, &img.height, &maxval, &header) == 3 &&
        maxval == 255 && data.size() >= header + 1 + static_cast<size_t>(img.width) * img.height * 3)
        img.rgb = data.substr(header + 1, static_cast<size_t>(img.width) * img.height * 3);
    return img;
}

// Compares a screenshot with tests/golden/<name>.png: at most 0.2 % of the pixels may differ by more than
// 8 in a channel. AERIVON_UPDATE_GOLDENS=1 rewrites the golden instead; a mismatch leaves the shot and a
// difference picture in $TMPDIR (or /tmp) for review.
inline void expect_golden(const std::string& shot, const std::string& name) {
    const std::string golden = std::string(AERIVON_SOURCE_DIR) + "/tests/golden/" + name + ".png";
    if (const char* u = std::getenv("AERIVON_UPDATE_GOLDENS"); u && std::string(u) == "1") {
        test::shell("cp " + sh_quote(shot) + " " + sh_quote(golden));
        return;
    }
    const image want = read_image(golden), got = read_image(shot);
    ASSERT_FALSE(want.empty()) << "no golden " << golden;
    size_t differ = want.width == got.width && want.height == got.height ? 0 : want.rgb.size();
    for (size_t i = 0; differ < want.rgb.size() && i < want.rgb.size(); i += 3)
        for (int c = 0; c < 3; ++c)
            if (std::abs(static_cast<uint8_t>(want.rgb[i + c]) - static_cast<uint8_t>(got.rgb[i + c])) > 8) {
                ++differ;
                break;
            }
    if (differ * 3 > want.rgb.size() / 500) {
        const char* t = std::getenv("TMPDIR");
        const std::string out = std::string(t && *t ? t : "/tmp") + "/" + name;
        test::shell("cp " + sh_quote(shot) + " " + sh_quote(out + "_actual.png") + "; compare " +
                    sh_quote(golden) + " " + sh_quote(shot) + " " + sh_quote(out + "_diff.png") +
                    " 2>/dev/null");
        ADD_FAILURE() << name << ": " << differ << " pixels differ; see " << out
                      << "_actual.png and _diff.png";
    }
}

// `dir`/`name`: a script that writes its argument count and then each argument, a line each, to `record`.
inline void fake_program(const std::string& dir, const std::string& name, const std::string& record) {
    test::write_file(dir + "/" + name, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > " +
                                           sh_quote(record + ".part") + "\nmv " + sh_quote(record + ".part") +
                                           " " + sh_quote(record) + "\n");
    chmod((dir + "/" + name).c_str(), 0755);
}

// Polls `ready` every 20 ms for at most timeout_ms.
template <typename F> bool wait_until(F ready, int timeout_ms) {
    for (int waited = 0; waited < timeout_ms && !ready(); waited += 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return ready();
}

// Runs of a program on one private X server, under one temporary HOME with Desktop and bin folders (bin
// first in PATH).
class session {
    gui::private_xserver xserver_; // made first and gone last: the program ends before its server

  public:
    // `server_options`: more options of the X server (gui::private_xserver).
    explicit session(const std::string& screen = "1024x768x24",
                     const std::vector<std::string>& server_options = {})
        : xserver_(screen, server_options) {
        test::shell("mkdir -p " + sh_quote(home.file("Desktop")) + " " + sh_quote(home.file("bin")));
        // A stand-in zenity ends at once, printing nothing, wherever a real one is installed. SDL's own
        // message box does not go through zenity: answer_message_box answers it.
        test::write_file(home.file("bin/zenity"), "#!/bin/sh\nexit 0\n");
        chmod(home.file("bin/zenity").c_str(), 0755);
    }
    bool have_display() const { return !xserver_.display().empty(); }

    // Starts `exe` (after the last run ended); `env` goes over the test environment: HOME, the display,
    // the XDG folders under HOME, LANG=en_US.UTF-8 and no other locale variable, home/bin first in PATH.
    void start(const std::string& exe, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}) {
        const char* path = std::getenv("PATH");
        std::map<std::string, std::string> e = {
            {"HOME", home.path()},      {"DISPLAY", xserver_.display()},
            {"SDL_VIDEODRIVER", "x11"}, {"XDG_CONFIG_HOME", home.file(".config")},
            {"LANG", "en_US.UTF-8"},    {"XDG_DATA_HOME", home.file(".local/share")},
            {"LANGUAGE", ""},           {"LC_ALL", ""},
            {"LC_MESSAGES", ""},        {"PATH", home.file("bin") + ":" + (path ? path : "/usr/bin:/bin")}};
        for (const auto& [k, v] : env)
            e[k] = v;
        std::vector<std::string> argv = {exe};
        argv.insert(argv.end(), args.begin(), args.end());
        window_.clear();
        process =
            std::make_unique<gui::child_process>(argv, e, home.file("stdout.txt"), home.file("stderr.txt"));
    }
    // The program's window, waited for; "" when none appeared.
    std::string window() {
        if (window_.empty())
            window_ = wait_for_window(
                [&] {
                    const std::string ids = xdo("search --name '^Sim-Root$'");
                    return ids.substr(0, ids.find('\n'));
                },
                60000);
        return window_;
    }
    // The platform's message box, a window of its own titled "Sim-Root Message", waited for until it shows
    // (at most timeout_ms); "" when none showed. Found with xwininfo: in a UTF-8 locale SDL gives the box's
    // title as UTF8_STRING, which xdotool's search does not read.
    std::string message_box(int timeout_ms = 60000) {
        return wait_for_window(
            [&] {
                const std::string info =
                    gui::x_client("xwininfo -name 'Sim-Root Message'", xserver_.display());
                const size_t id = info.find("Window id: ");
                if (id == std::string::npos || info.find("Map State: IsViewable") == std::string::npos)
                    return std::string();
                return info.substr(id + 11, info.find(' ', id + 11) - id - 11);
            },
            timeout_ms);
    }
    // Answers the message box as a user does: Return with the keyboard focus on the box, or a click on its
    // one button, centred 26 pixels above the box's bottom edge. False when no box appeared.
    bool answer_message_box(bool click = false) {
        const std::string box = message_box();
        if (box.empty())
            return false;
        if (!click) {
            xdo("windowfocus --sync " + box + " key Return");
            return true;
        }
        const std::string shape = xdo("getwindowgeometry --shell " + box);
        const size_t w = shape.find("WIDTH="), h = shape.find("HEIGHT=");
        if (w == std::string::npos || h == std::string::npos)
            return false;
        const int width = std::atoi(shape.c_str() + w + 6), height = std::atoi(shape.c_str() + h + 7);
        xdo("mousemove --window " + box + " " + std::to_string(width / 2) + " " +
            std::to_string(height - 26) + " mousedown 1 sleep 0.1 mouseup 1");
        return true;
    }
    std::string xdo(const std::string& args) { return gui::xdotool(args, xserver_.display()); }
    // Press, 100 ms, release at window pixel (x, y), as a hand clicks: a push button needs its press and
    // its release in different frames.
    void click(int x, int y) {
        xdo("mousemove --window " + window() + " " + std::to_string(x) + " " + std::to_string(y) +
            " mousedown 1 sleep 0.1 mouseup 1");
    }
    void key(const std::string& name) { xdo("key " + name); }
    // Asks the program to close its window, as a window manager does for the user.
    bool close_window() { return gui::send_close_request(std::stoul(window()), xserver_.display()); }
    // The window's picture, kept as last_shot (empty when it cannot be taken: import waits forever on the
    // window of a program that died, so it gets 10 s).
    image screenshot() {
        last_shot = home.file("shot.png");
        std::filesystem::remove(last_shot);
        test::shell("DISPLAY=" + xserver_.display() + " timeout 10 import -window " + window() + " " +
                    sh_quote(last_shot) + " 2>/dev/null");
        return read_image(last_shot);
    }

    // Waits until an alert's title band shows in the middle of the 800 x 600 window: lighter than the
    // background and than the black of a window not yet drawn.
    bool wait_for_alert() {
        return wait_until(
            [&] {
                const image img = screenshot();
                return !img.empty() && img.at(400, 180)[0] + img.at(400, 180)[1] + img.at(400, 180)[2] > 150;
            },
            30000);
    }

    test::TempDir home;
    std::unique_ptr<gui::child_process> process;
    std::string last_shot;

  private:
    // Asks `find` for a window id every 200 ms until it gives one or timeout_ms have passed (a loaded
    // machine may take a while to map a window); "" when none came.
    template <typename F> static std::string wait_for_window(F find, int timeout_ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            const std::string id = find();
            if (!id.empty() || std::chrono::steady_clock::now() >= end)
                return id;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
    std::string window_;
};

} // namespace shell
