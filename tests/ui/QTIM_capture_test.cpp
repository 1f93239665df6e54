// Screen capture: the size clamp (no window), and the shot that a frame takes of what it drew, read back
// from its PNG file (needs an X display; tools/test.sh runs Xvfb). Movies are read back with ffprobe and
// decoded with ffmpeg.
#include <gtest/gtest.h>
#include <png.h>

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "base/APP_alert.h"
#include "platform/APP_time.h"
#include "ui/APP_frame.h"
#include "ui/MENU_menus.h"
#include "ui/QTIM_capture.h"
#include "ui_gui_fixture.h"

namespace {

TEST(CaptureTest, ScreenshotAreaIsClampedAndCentred) {
    const struct {
        int drawable_w, drawable_h, max_side, x, y, w, h;
        size_t bytes;
    } cases[] = {
        {5000, 3000, 4096, 452, 0, 4096, 3000, 36864000},
        {5000, 3000, 2048, 1476, 476, 2048, 2048, 12582912},
    };
    for (const auto& c : cases) {
        const QTIM_area a = QTIM_screenshot_area(c.drawable_w, c.drawable_h, c.max_side);
        EXPECT_EQ(std::vector<int>({a.x, a.y, a.width, a.height}), std::vector<int>({c.x, c.y, c.w, c.h}));
        EXPECT_EQ(a.bytes, c.bytes);
    }
}

// Every row and column of the window differs; GL counts rows from the bottom.
std::vector<unsigned char> drawn;

class CaptureGuiTest : public uitest::GuiFixture {};

TEST_F(CaptureGuiTest, AFrameSavesWhatItDrewAsTheNextFreeNumberTopRowFirst) {
    const int w = screen_state.drawable_width, h = screen_state.drawable_height;
    drawn.resize(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < drawn.size(); ++i)
        drawn[i] = static_cast<unsigned char>(i % 3 == 0   ? i / 3 % w
                                              : i % 3 == 1 ? i / 3 / w
                                                           : i / 3 / w >> 8);
    APP_set_screen0_frame([] {
        for (GLenum cap : {GL_TEXTURE_2D, GL_BLEND, GL_ALPHA_TEST, GL_DEPTH_TEST, GL_DITHER, GL_FOG})
            glDisable(cap);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRasterPos2f(-1.0f, -1.0f);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glDrawPixels(screen_state.drawable_width, screen_state.drawable_height, GL_RGB, GL_UNSIGNED_BYTE,
                     drawn.data());
    });
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path()); // the Sim-Root folder is empty
    test::write_file("Sim-Root_1.png", "taken");
    test::write_file("Sim-Root_2.png", "taken");
    MENU_init(1);
    QTIM_capture.screenshot_requested = 1;
    APP_frame();
    APP_frame(); // no request, no file
    APP_set_screen0_frame(nullptr);
    const std::string bytes = test::read_file("Sim-Root_3.png");
    EXPECT_EQ(QTIM_screenshot_name(), "Sim-Root_4.png");
    std::filesystem::current_path(old);

    EXPECT_EQ(bytes.find("gAMA"), std::string::npos);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    image.format = PNG_FORMAT_RGB;
    ASSERT_EQ(std::vector<int>({static_cast<int>(image.width), static_cast<int>(image.height)}),
              std::vector<int>({w, h}));
    std::vector<unsigned char> file(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, file.data(), 0, nullptr));
    for (int row = 0; row < h; ++row)
        ASSERT_EQ(0, std::memcmp(&file[row * w * 3], &drawn[(h - 1 - row) * w * 3], w * 3))
            << "file row " << row;
}

// ---- movies

// Threads of this process named "QT_Thread".
int compressor_threads() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.' &&
                test::read_file(std::string("/proc/self/task/") + e->d_name + "/comm") == "QT_Thread\n")
                ++n;
        closedir(d);
    }
    return n;
}

// The count of compressor threads once it reaches `want`, or after 5 s: a new thread names itself when
// it starts running, and a joined one can still be listed in /proc for a moment after the join returns
// (the kernel wakes the joiner before it reaps the thread).
int compressor_threads_reaching(int want) {
    int n = compressor_threads();
    for (int i = 0; i < 500 && n != want; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        n = compressor_threads();
    }
    return n;
}

// ffprobe's "key=value" lines of the movie's stream, frames counted by decoding.
std::map<std::string, std::string> probe(const std::string& path) {
    const test::ChildResult r = test::run_child(
        {"ffprobe", "-v", "error", "-count_frames", "-show_streams", "-of", "default=nw=1", path});
    std::map<std::string, std::string> fields;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (const size_t eq = line.find('='); eq != std::string::npos)
            fields[line.substr(0, eq)] = line.substr(eq + 1);
    return fields;
}

// The centre pixel of every decoded frame, each once whatever its duration.
std::vector<uitest::rgb> centre_pixels(const std::string& path) {
    const test::ChildResult r =
        test::run_child({"ffmpeg", "-v", "error", "-i", path, "-vf", "crop=1:1:iw/2:ih/2", "-fps_mode",
                         "passthrough", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    std::vector<uitest::rgb> pixels;
    for (size_t i = 0; i + 3 <= r.out.size(); i += 3)
        pixels.push_back({static_cast<uint8_t>(r.out[i]), static_cast<uint8_t>(r.out[i + 1]),
                          static_cast<uint8_t>(r.out[i + 2])});
    return pixels;
}

uitest::rgb frame_colour(int i) { return {(i * 37) % 200 + 30, (i * 91 + 50) % 200 + 20, 230 - i * 9}; }

// Runs `body` in the temporary folder `dir` and comes back.
template <typename F> void in_folder(const std::string& dir, F body) {
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    body();
    std::filesystem::current_path(old);
}

// The recorder without a window: frames handed over as pixels, on a 64 x 48 drawable.
class MovieRecorderConcurrentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        screen_state.drawable_width = 64;
        screen_state.drawable_height = 48;
        QTIM_capture = QTIM_capture_record();
        QTIM_init();
        ASSERT_EQ(QTIM_capture.available, 1);
    }
    static void add_frame(int i) {
        const uitest::rgb c = frame_colour(i);
        std::vector<uint8_t> rgb;
        for (int p = 0; p < 64 * 48; ++p)
            rgb.insert(rgb.end(),
                       {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
        QTIM_movie_add_frame(rgb, 1.0 / 30);
    }
    test::TempDir dir;
};

TEST_F(MovieRecorderConcurrentTest, FinishingAfterTwoFramesDoesNothingAndTheThirdFrameLetsItEnd) {
    in_folder(dir.path(), [] {
        QTIM_movie_start();
        ASSERT_TRUE(QTIM_movie_exists());
        EXPECT_EQ(compressor_threads_reaching(1), 1);
        add_frame(0);
        add_frame(1);
        QTIM_capture.movie_state = 2;
        QTIM_movie_finish();
        EXPECT_TRUE(QTIM_movie_exists());
        EXPECT_EQ(QTIM_capture.movie_state, 1);
        add_frame(2);
        QTIM_movie_finish();
        EXPECT_FALSE(QTIM_movie_exists());
        EXPECT_EQ(QTIM_capture.movie_state, 0);
        EXPECT_EQ(compressor_threads_reaching(0), 0);
    });
    auto fields = probe(dir.file("Sim-Root_1.mov"));
    EXPECT_EQ(fields["codec_name"], "mjpeg");
    EXPECT_EQ(fields["width"] + "x" + fields["height"], "64x48");
    EXPECT_EQ(fields["nb_read_frames"], "3");
    // The way out of the program ends a movie of two frames too, so that its file plays.
    in_folder(dir.path(), [] {
        QTIM_movie_start();
        add_frame(0);
        add_frame(1);
        QTIM_movie_end();
        EXPECT_FALSE(QTIM_movie_exists());
        EXPECT_EQ(compressor_threads_reaching(0), 0);
    });
    EXPECT_EQ(probe(dir.file("Sim-Root_2.mov"))["nb_read_frames"], "2");
}

// Each misuse is a kind-2 alert from qtim line 189; the alert hook shows the lines and how many compressor
// threads run at that moment.
TEST_F(MovieRecorderConcurrentTest, MisuseAndAnUncreatableFileAreAlerted) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* name;
        void (*run)();
        const char* expected;
    } cases[] = {
        {"second start",
         [] {
             QTIM_movie_start();
             compressor_threads_reaching(1);
             QTIM_movie_start();
         },
         "Trying to create a movie but one already exists.*QT_Thread running: 1"},
        {"finish without a movie", [] { QTIM_movie_finish(); },
         "Cannot finish record of a movie that was not started!"},
        {"folder gone",
         [] {
             // A folder removed while it is the current one: nothing can be created in it.
             std::filesystem::create_directory("gone");
             std::filesystem::current_path("gone");
             std::filesystem::remove("../gone");
             QTIM_movie_start();
         },
         "Could not CreateMovieFile to file: Sim-Root_1.mov.\\(CreateMovieFile failed\\).-2.*QT_Thread "
         "running: 0 .qtim:189."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        in_folder(dir.path(), [&] {
            EXPECT_EXIT(
                {
                    APP_alert_hooks hooks;
                    hooks.draw_alert = [](int, const std::string& l1, const std::string& l2,
                                          const std::string& l3, const std::string& l4, int kind,
                                          const std::string& source) {
                        std::fprintf(stderr, "%s|%s|%s|%s|kind %d QT_Thread running: %d %s\n", l1.c_str(),
                                     l2.c_str(), l3.c_str(), l4.c_str(), kind, compressor_threads(),
                                     source.c_str());
                    };
                    APP_set_alert_hooks(hooks);
                    APP_graphics_up = 1;
                    c.run();
                    std::exit(3);
                },
                testing::ExitedWithCode(0), c.expected);
        });
    }
}

// A real recording: the toggle starts it, each due frame after the first is captured from the window, and
// the stop request finishes it; the movie lasts the real time it recorded. Rows: frames at the movie's own
// rate; frames of a quiet window 0.1 s apart (each one due, each lasting 0.1 s); frames 5 to 9 of a hidden
// window, whose drawing was discarded (not captured: their time goes to frame 10). Each through a
// pixel-pack buffer as the driver offers, and without.
TEST_F(CaptureGuiTest, DrawnFramesBecomeAnMjpegMovieLastingTheRecordedTime) {
    const int probed_pbo = OGL_capabilities.pbo_avail;
    QTIM_init();
    ASSERT_EQ(QTIM_capture.available, 1);
    const struct {
        const char* name;
        int fps;
        int64_t step_us;
        int hidden_from, hidden_to; // frames not drawn (none when from > to)
        const char* rate;           // ffprobe's, or null when the frames are not at the movie's rate
        const char* duration;
    } rows[] = {
        {"at the movie's rate", 20, 50'000, 0, -1, "20/1", "1.000000"},
        {"quiet window", 30, 100'000, 0, -1, nullptr, "2.000000"},
        {"hidden for five frames", 20, 50'000, 5, 9, nullptr, "1.000000"},
    };
    int64_t now = 1'000'000'000;
    for (const auto& row : rows) {
        for (int pbo : {probed_pbo, 0}) {
            SCOPED_TRACE(std::string(row.name) + (pbo ? ", pixel-pack buffer" : ", direct read"));
            OGL_capabilities.pbo_avail = pbo;
            QTIM_capture = QTIM_capture_record();
            QTIM_capture.available = 1;
            QTIM_capture.fps_numerator = row.fps;
            std::string name;
            APP_inject_microseconds(now);
            QTIM_frame(true);
            now += 1'000'000'000; // the first frame is due whatever came before, and is skipped
            in_folder(dir.path(), [&] {
                name = QTIM_screenshot_name(".mov");
                QTIM_capture.movie_toggle_requested = 1;
                for (int i = -1; i <= 20; ++i) { // frame -1 is the skipped first due frame; 20 finishes
                    const uitest::rgb c = frame_colour(std::max(i, 0));
                    glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1.0f);
                    glClear(GL_COLOR_BUFFER_BIT);
                    if (i == 20)
                        QTIM_capture.movie_state = 2;
                    APP_inject_microseconds(now);
                    now += row.step_us;
                    QTIM_frame(i < row.hidden_from || i > row.hidden_to);
                    if (i == 0) { // long after the last input, a recording still has every frame
                        EXPECT_EQ(APP_frame_prepare(), 1);
                    }
                    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "frame " << i;
                }
            });
            APP_clear_injected_microseconds();
            const int hidden = row.hidden_to - row.hidden_from + 1;
            EXPECT_FALSE(QTIM_movie_exists());
            EXPECT_EQ(QTIM_capture.frames_recorded, 20 - hidden);
            EXPECT_EQ(QTIM_capture.movie_width, screen_state.drawable_width & ~1);
            auto fields = probe(dir.file(name));
            EXPECT_EQ(fields["codec_name"], "mjpeg");
            if (row.rate) {
                EXPECT_EQ(fields["r_frame_rate"], row.rate);
            }
            EXPECT_EQ(fields["nb_read_frames"], std::to_string(20 - hidden));
            EXPECT_EQ(fields["duration"], row.duration);
            const std::vector<uitest::rgb> centres = centre_pixels(dir.file(name));
            ASSERT_EQ(centres.size(), static_cast<size_t>(20 - hidden));
            for (int i = 0, k = 0; i < 20; ++i) {
                if (i >= row.hidden_from && i <= row.hidden_to)
                    continue;
                EXPECT_TRUE(uitest::near(centres[k], frame_colour(i), 6))
                    << "frame " << i << ": " << centres[k] << " drawn " << frame_colour(i);
                ++k;
            }
        }
    }
    OGL_capabilities.pbo_avail = probed_pbo;
    EXPECT_EQ(TMAN_get(QTIM_MOVIE_TEXTURE), nullptr);
}

} // namespace
