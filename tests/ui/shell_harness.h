// shell_harness: a program of the toolkit (the installer, or the toolkit driver) on an X server of its own
// under a temporary HOME, with xdotool, screenshots and golden images.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "ui/gui_harness.h"

namespace shell {

// An RGB picture, rows from the top.
struct image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    std::array<int, 3> at(int x, int y) const {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return {p[0], p[1], p[2]};
    }
    bool empty() const { return rgb.empty(); }
};

// Runs a shell command and gives its standard output.
inline std::string capture(const std::string& command) {
    std::string out;
    if (FILE* f = popen(command.c_str(), "r")) {
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        pclose(f);
    }
    return out;
}

// A binary PPM (what ImageMagick writes for "ppm:-") as an image; empty when it is not one.
inline image parse_ppm(const std::string& data) {
    image img;
    int maxval = 0;
    int consumed = 0;
    if (std::sscanf(data.c_str(), "P6 %d %d %d%n", &img.width, &img.height, &maxval, &consumed) != 3 ||
        maxval != 255 || img.width <= 0 || img.height <= 0)
        return image();
    const size_t size = static_cast<size_t>(img.width) * img.height * 3;
    const size_t start = static_cast<size_t>(consumed) + 1;
    if (data.size() < start + size)
        return image();
    img.rgb.assign(data.begin() + static_cast<long>(start), data.begin() + static_cast<long>(start + size));
    return img;
}

inline std::string sh_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline image read_image(const std::string& path) {
    return parse_ppm(capture("convert " + sh_quote(path) + " -depth 8 ppm:- 2>/dev/null"));
}

// Share of pixels whose channels differ by more than `tolerance`; 1 when the sizes differ.
inline double differing_share(const image& a, const image& b, int tolerance) {
    if (a.width != b.width || a.height != b.height || a.empty())
        return 1.0;
    size_t differ = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3)
        for (int c = 0; c < 3; ++c)
            if (std::abs(a.rgb[i + c] - b.rgb[i + c]) > tolerance) {
                ++differ;
                break;
            }
    return static_cast<double>(differ) / (a.rgb.size() / 3);
}

// Compares a screenshot with tests/golden/<name>.png. With AERIVON_UPDATE_GOLDENS=1 the golden is
// rewritten instead; on a mismatch the shot and a difference picture go to $TMPDIR (or /tmp) for review.
inline void expect_golden(const std::string& shot_png, const std::string& name) {
    const std::string golden = std::string(AERIVON_SOURCE_DIR) + "/tests/golden/" + name + ".png";
    if (const char* u = std::getenv("AERIVON_UPDATE_GOLDENS"); u && std::string(u) == "1") {
        test::shell("cp " + sh_quote(shot_png) + " " + sh_quote(golden));
        return;
    }
    const image want = read_image(golden), got = read_image(shot_png);
    ASSERT_FALSE(want.empty()) << "no golden " << golden;
    const double share = differing_share(want, got, 8);
    if (share > 0.002) {
        const char* tmp = std::getenv("TMPDIR");
        const std::string dir = tmp && *tmp ? tmp : "/tmp";
        test::shell("cp " + sh_quote(shot_png) + " " + sh_quote(dir + "/" + name + "_actual.png"));
        test::shell("compare " + sh_quote(golden) + " " + sh_quote(shot_png) + " " +
                    sh_quote(dir + "/" + name + "_diff.png") + " 2>/dev/null");
        ADD_FAILURE() << name << ": " << share * 100 << " % of the pixels differ; see " << dir << "/" << name
                      << "_actual.png and _diff.png";
    }
}

// A script that records its arguments, one a line after their count, in `record`; written as `name` in
// `dir`, which a test puts first in PATH.
inline void fake_program(const std::string& dir, const std::string& name, const std::string& record) {
    const std::string path = dir + "/" + name;
    test::write_file(path, "#!/bin/sh\nprintf '%s\\n' \"$#\" > " + sh_quote(record + ".part") +
                               "\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> " +
                               sh_quote(record + ".part") + "; done\nmv " + sh_quote(record + ".part") + " " +
                               sh_quote(record) + "\n");
    chmod(path.c_str(), 0755);
}

// Polls `ready` every 20 ms for at most timeout_ms.
template <typename F> bool wait_until(F ready, int timeout_ms) {
    for (int waited = 0; waited < timeout_ms; waited += 20) {
        if (ready())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return ready();
}

// One run of a program on a private X server.
class session {
    gui::private_xserver xserver_; // first made, last gone: the program ends before its server

  public:
    explicit session(const std::string& screen = "1024x768x24") : xserver_(screen) {
        test::shell("mkdir -p " + sh_quote(home.file("Desktop")) + " " + sh_quote(home.file("bin")));
    }
    bool have_display() const { return !xserver_.display().empty(); }
    const std::string& display() const { return xserver_.display(); }

    // Starts `exe` with `args` (again after the last run ended, if need be); `env` is applied over the test
    // environment (HOME, the display, the XDG folders under HOME, LANG=en_US.UTF-8 with no other locale
    // variables, home/bin first in PATH).
    void start(const std::string& exe, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}) {
        std::map<std::string, std::string> e = {
            {"HOME", home.path()},
            {"DISPLAY", display()},
            {"SDL_VIDEODRIVER", "x11"},
            {"XDG_CONFIG_HOME", home.file(".config")},
            {"XDG_DATA_HOME", home.file(".local/share")},
            {"LANG", "en_US.UTF-8"},
            {"LANGUAGE", ""},
            {"LC_ALL", ""},
            {"LC_MESSAGES", ""},
            {"PATH", home.file("bin") + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin")},
        };
        for (const auto& [k, v] : env)
            e[k] = v;
        window_.clear();
        std::vector<std::string> argv = {exe};
        argv.insert(argv.end(), args.begin(), args.end());
        process =
            std::make_unique<gui::child_process>(argv, e, home.file("stdout.txt"), home.file("stderr.txt"));
    }
    // The program's window (waits for it); "" when none appeared.
    std::string window() {
        if (window_.empty()) {
            const std::string ids = xdo("search --sync --name Sim-Root");
            window_ = ids.substr(0, ids.find('\n'));
        }
        return window_;
    }
    std::string xdo(const std::string& args) { return gui::xdotool(args, display()); }
    // A click at window pixel (x, y): press, 100 ms, release, as a hand clicks (a push button needs its
    // press and its release in different frames).
    void click(int x, int y) {
        xdo("mousemove --window " + window() + " " + std::to_string(x) + " " + std::to_string(y) +
            " mousedown 1 sleep 0.1 mouseup 1");
    }
    void key(const std::string& name) { xdo("key " + name); }
    // The window's picture, as a PNG in the home folder and as pixels.
    image screenshot(const std::string& name = "shot") {
        last_shot = home.file(name + ".png");
        test::shell("DISPLAY=" + display() + " import -window " + window() + " " + sh_quote(last_shot) +
                    " 2>/dev/null");
        return read_image(last_shot);
    }

    test::TempDir home;
    std::unique_ptr<gui::child_process> process;
    std::string last_shot;

  private:
    std::string window_;
};

} // namespace shell
