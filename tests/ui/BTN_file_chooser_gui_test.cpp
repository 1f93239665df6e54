// The in-window chooser (PATH holds neither zenity nor kdialog), driven by events pushed between its frames:
// picking a folder in a temporary tree against a golden screenshot, Return and Esc, and a typed save name.
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "edit_gui_fixture.h"
#include "golden.h"
#include "support/fake_dialogs.h"
#include "ui/OGL_font.h"
#include "ui/OGL_text_record.h"
#include "ui/WIN_file_dialog.h"

namespace {

class BtnFileChooserGuiTest : public edittest::EditGuiFixture {
  protected:
    void SetUp() override {
        edittest::EditGuiFixture::SetUp();
        if (IsSkipped())
            return;
        for (const char* d : {"alpha", "beta", ".hidden"})
            mkdir(tree.file(d).c_str(), 0755);
        mkdir(tree.file("alpha/" + odd).c_str(), 0755);
        test::write_file(tree.file("file.txt"), "x");
        symlink(tree.file("alpha").c_str(), tree.file("link").c_str());
        root = tree.path() + "/";
    }

    // Runs the chooser with `steps` run one per frame at the end of its frames (then Esc, so that a
    // script that misses still ends).
    bool choose(int mode, std::string& path, std::vector<std::function<void()>> steps) {
        script = std::move(steps);
        next = 0;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        edittest::after_frame = [] {
            if (next < script.size())
                script[next]();
            else if (next == script.size() + 30)
                key(SDL_SCANCODE_ESCAPE);
            ++next;
        };
        const int before = screen_state.screen_id;
        bool ok = WIN_choose_file_or_folder(mode, "Pick one", root, path, button);
        edittest::after_frame = nullptr;
        EXPECT_EQ(screen_state.screen_id, before) << "the caller's screen is current again";
        return ok;
    }
    // A press in one frame and its release in the next, at a point of the chooser's view (asked for when
    // the chooser shows).
    using where = std::function<std::pair<float, float>()>;
    static void add_click(std::vector<std::function<void()>>& s, where at) {
        s.push_back([=] { mouse_event(SDL_MOUSEBUTTONDOWN, at().first, at().second); });
        s.push_back([=] { mouse_event(SDL_MOUSEBUTTONUP, at().first, at().second); });
    }
    // The middle of list row i (0 is the parent row), and of the OK button.
    static where row(int i) {
        return [i] {
            const float step = OGL_line_step(0) + 3.0f;
            return std::make_pair(60.0f,
                                  screen_state.view_height - 102.0f - step * (static_cast<float>(i) + 0.5f));
        };
    }
    static where ok_button() {
        return [] { return std::make_pair(screen_state.view_width / 3.0f, 18.0f); };
    }

    // A name with ':', '\' and Latin-1 bytes, as a folder may have on this system.
    inline static const std::string odd = "Sims \\ 2026: b\xFF"
                                          "ad\xFE";
    test::FakeDialogs no_dialogs{{}};
    std::string button; // the OK button's label; "" for OK
    test::TempDir tree;
    std::string root;
    inline static std::vector<std::function<void()>> script;
    inline static size_t next = 0;
};

// Named for tools/update-goldens.sh, which renders the *GoldenGui* tests again.
class FileChooserGoldenGuiTest : public BtnFileChooserGuiTest {};

TEST_F(FileChooserGoldenGuiTest, PickingAFolderMatchesItsGolden) {
    std::vector<std::function<void()>> s;
    s.push_back([] {
        const screen_state_record& st = screen_state;
        const int x0 = static_cast<int>(st.origin_x), y0 = static_cast<int>(st.origin_y);
        const int w = static_cast<int>(st.view_width), h = static_cast<int>(st.view_height);
        golden::options opt;
        opt.masks.push_back({x0 + 15, y0 + h - 96, x0 + w - 15, y0 + h - 66}); // the path (a temporary name)
        EXPECT_TRUE(golden::matches("folder_chooser", {x0, y0, x0 + w, y0 + h}, opt));
        OGL_text_record_start();
    });
    s.push_back([] {
        // The rows stand more than a line step apart: the '/' ending "alpha/" and the one ending "beta/".
        OGL_text_record_stop();
        std::vector<OGL_text_rect> slashes;
        for (const OGL_drawn_text& t : OGL_text_recorded())
            if ((t.text == "alpha/" || t.text == "beta/") && !t.glyphs.empty())
                slashes.push_back(t.glyphs.back());
        ASSERT_EQ(slashes.size(), 2u);
        EXPECT_GT(slashes[0].y0 - slashes[1].y0, OGL_line_step(0));
    });
    add_click(s, row(2)); // "beta/"
    add_click(s, ok_button());
    std::string path = "/unchanged/";
    ASSERT_TRUE(choose(2, path, s));
    EXPECT_EQ(path, root + "beta/");
}

TEST_F(BtnFileChooserGuiTest, ReturnTakesTheFieldAndEscCancels) {
    std::vector<std::function<void()>> s;
    add_click(s, row(1)); // "alpha/"
    s.push_back([] { key(SDL_SCANCODE_RETURN); });
    std::string path;
    ASSERT_TRUE(choose(2, path, s));
    EXPECT_EQ(path, root + "alpha/");

    path = "/some/file";
    EXPECT_FALSE(choose(0, path, {[] { key(SDL_SCANCODE_ESCAPE); }}));
    EXPECT_EQ(path, "") << "a cancelled open dialog empties the path";

    // Mode 0 lists the files too (the link among them, as a file): row 3 is "file.txt" after the two folders.
    s.clear();
    add_click(s, row(3));
    s.push_back([] { key(SDL_SCANCODE_RETURN); });
    ASSERT_TRUE(choose(0, path, s));
    EXPECT_EQ(path, root + "file.txt");

    // A folder's name is its bytes.
    s.clear();
    add_click(s, row(1)); // "alpha/"
    add_click(s, row(1)); // the odd name inside it
    s.push_back([] { key(SDL_SCANCODE_RETURN); });
    ASSERT_TRUE(choose(2, path, s));
    EXPECT_EQ(path, root + "alpha/" + odd + "/");
}

TEST_F(BtnFileChooserGuiTest, ANamedButtonIsAsWideAsItsLabel) {
    // A click just beyond where an OK button would end, still inside the wider "Select Folder" button.
    const float beyond_ok = (OGL_measure_string("OK") + 21.0f) * 0.5f + 6.0f;
    ASSERT_LT(beyond_ok + 4.0f, (OGL_measure_string("Select Folder") + 21.0f) * 0.5f);
    const auto near_right_end = [beyond_ok] {
        return std::make_pair(screen_state.view_width / 3.0f + beyond_ok, 18.0f);
    };
    for (const char* label : {"", "Select Folder"}) {
        SCOPED_TRACE(label);
        button = label;
        std::vector<std::function<void()>> s;
        add_click(s, row(1)); // "alpha/"
        add_click(s, near_right_end);
        std::string path = "/unchanged/";
        EXPECT_EQ(choose(2, path, s), !button.empty());
        EXPECT_EQ(path, button.empty() ? "/unchanged/" : root + "alpha/");
    }
    button.clear();
}

TEST_F(BtnFileChooserGuiTest, SaveTakesATypedName) {
    std::string path = "old.txt";
    std::vector<std::function<void()>> s;
    // The field shows the folder and the old name: a click at its right end, then Backspace over all of it.
    add_click(
        s, [] { return std::make_pair(screen_state.view_width - 40.0f, screen_state.view_height - 78.0f); });
    for (int i = 0; i < 4; ++i)
        s.push_back([] {
            for (int k = 0; k < 20; ++k)
                key(SDL_SCANCODE_BACKSPACE);
        });
    s.push_back([] { type("new.txt"); });
    s.push_back([] {});
    s.push_back([] { key(SDL_SCANCODE_RETURN); });
    ASSERT_TRUE(choose(1, path, s));
    EXPECT_EQ(path, root + "new.txt") << "a name without a folder is taken in the folder shown";
}

} // namespace
