// The desktop's double-click time: a settings manager of the test's own (an X client owning
// "_XSETTINGS_S<screen>") publishes XSETTINGS, and the window's X connection reads them (needs Xvfb).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gui_harness.h"
#include "platform/WIN_window.h"

// After gtest: Xlib's macro None would clash with gtest's type of that name.
#include <X11/Xlib.h>

namespace {

// An XSETTINGS blob, least significant byte first.
struct settings_blob {
    std::vector<unsigned char> bytes = {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}; // order, serial 1, count
    void card16(uint32_t v) { bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8)}); }
    void card32(uint32_t v) {
        bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    }
    void padded(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        bytes.resize((bytes.size() + 3) & ~size_t{3});
    }
    void head(int type, const std::string& name) {
        ++bytes[8];
        bytes.insert(bytes.end(), {uint8_t(type), 0});
        card16(static_cast<uint32_t>(name.size()));
        padded(name);
        card32(0); // last-change serial
    }
    settings_blob& integer(const std::string& name, int32_t v) {
        head(0, name);
        card32(static_cast<uint32_t>(v));
        return *this;
    }
    settings_blob& text(const std::string& name, const std::string& v) {
        head(1, name);
        card32(static_cast<uint32_t>(v.size()));
        padded(v);
        return *this;
    }
    settings_blob& colour(const std::string& name) {
        head(2, name);
        for (int i = 0; i < 4; ++i)
            card16(0x8000);
        return *this;
    }
};

// The settings manager: owns the selection and holds the blob on its window while it lives.
class settings_owner {
  public:
    explicit settings_owner(const std::vector<unsigned char>& blob) : d_(XOpenDisplay(nullptr)) {
        const Window root = DefaultRootWindow(d_);
        w_ = XCreateSimpleWindow(d_, root, 0, 0, 1, 1, 0, 0, 0);
        const Atom settings = XInternAtom(d_, "_XSETTINGS_SETTINGS", False);
        XChangeProperty(d_, w_, settings, settings, 8, PropModeReplace, blob.data(),
                        static_cast<int>(blob.size()));
        const std::string selection = "_XSETTINGS_S" + std::to_string(DefaultScreen(d_));
        XSetSelectionOwner(d_, XInternAtom(d_, selection.c_str(), False), w_, CurrentTime);
        XSync(d_, False);
    }
    ~settings_owner() {
        XDestroyWindow(d_, w_);
        XCloseDisplay(d_);
    }
    settings_owner(const settings_owner&) = delete;
    settings_owner& operator=(const settings_owner&) = delete;

  private:
    Display* d_;
    Window w_;
};

TEST(DoubleClickTimeGuiTest, TheWindowReadsTheSettingsManagersValueElseGtksDefault) {
    if (!gui::have_display())
        GTEST_SKIP() << "no X display";
    WIN_register_classes();
    WIN_window* window = WIN_create_window_gl(0, 0, 64, 64, 64, 64, 0, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_FLOAT_EQ(WIN_double_click_time(nullptr), 0.4f);
    EXPECT_FLOAT_EQ(WIN_double_click_time(window), 0.4f) << "no settings manager";

    std::vector<unsigned char> truncated = settings_blob().integer("Net/DoubleClickTime", 250).bytes;
    truncated.resize(truncated.size() - 2);
    const struct {
        const char* name;
        std::vector<unsigned char> blob;
        float seconds;
    } cases[] = {
        {"after a text and a colour",
         settings_blob()
             .text("Net/ThemeName", "Adwaita")
             .colour("Gtk/Colour")
             .integer("Net/DoubleClickTime", 250)
             .bytes,
         0.25f},
        {"first of two",
         settings_blob().integer("Net/DoubleClickTime", 600).integer("Net/DndDragThreshold", 8).bytes, 0.6f},
        {"absent", settings_blob().integer("Net/DndDragThreshold", 8).bytes, 0.4f},
        {"zero", settings_blob().integer("Net/DoubleClickTime", 0).bytes, 0.4f},
        {"truncated", truncated, 0.4f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings_owner owner(c.blob);
        EXPECT_FLOAT_EQ(WIN_double_click_time(window), c.seconds);
    }
    WIN_destroy_window_gl(window);
}

} // namespace
