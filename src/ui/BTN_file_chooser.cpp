// BTN_file_chooser: the toolkit's own file and folder chooser, drawn on screen 999 or 1000.
//
// | row of the list   | a click                                                       |
// |-------------------|---------------------------------------------------------------|
// | ".."              | goes to the parent folder                                     |
// | "name/" (folder)  | goes into it                                                  |
// | "name" (file)     | puts its path into the path field (modes 0 and 1)             |
// OK (or Return) takes the path field, relative to the folder shown unless absolute: a folder is entered
// (mode 2 chooses it); an existing file is chosen in mode 0, any name in mode 1. Cancel or Esc ends
// without an answer. Names beginning with '.' are left out, folders come first (and alone in mode 2), and
// links are listed as files and never followed.
#include <algorithm>
#include <cmath>

#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "platform/WIN_dialog_process.h"
#include "platform/WIN_message.h"
#include "ui/APP_frame.h"
#include "ui/APP_screens.h"
#include "ui/BTN_text_field.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/OGL_view.h"
#include "ui/WIN_file_dialog.h"
#include "ui/screen_state.h"
#include "ui/widget_state.h"

namespace {

constexpr int max_path = 1023;

struct chooser {
    int mode = 0;
    std::string prompt;
    std::string button;            // the OK button's label; "OK" translated when empty
    std::string folder;            // the folder listed: absolute, ending in '/'
    std::string field;             // the path field
    std::vector<std::string> rows; // "..", then "name/" folders, then "name" files
    int first_row = 0;             // the first visible row
    int result = -1;               // -1 running, 0 cancelled, 1 chosen
    std::string answer;
};

bool ends_in_slash(const std::string& s) { return !s.empty() && s.back() == '/'; }

std::string parent_of(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    size_t slash = folder.rfind('/');
    return slash == std::string::npos ? "/" : folder.substr(0, slash + 1);
}

// The name part of the path field (mode 1 keeps it when the folder changes).
std::string typed_name(const chooser& c) {
    if (c.mode != 1 || ends_in_slash(c.field))
        return "";
    size_t slash = c.field.rfind('/');
    return slash == std::string::npos ? c.field : c.field.substr(slash + 1);
}

void enter_folder(chooser& c, std::string folder) {
    if (!ends_in_slash(folder))
        folder += '/';
    std::string name = typed_name(c);
    c.folder = folder;
    c.field = folder + name;
    c.first_row = 0;
    c.rows.assign(1, "..");
    std::vector<std::string> names;
    std::vector<int> types;
    FILE_list_folder(folder, 0, names, types);
    for (size_t i = 0; i < names.size(); ++i)
        if (types[i] == 1)
            c.rows.push_back(names[i] + "/");
    if (c.mode != 2)
        for (size_t i = 0; i < names.size(); ++i)
            if (types[i] != 1)
                c.rows.push_back(names[i]);
}

// The path field as an absolute path: relative to the folder shown.
std::string field_path(const chooser& c) {
    if (c.field.empty())
        return c.folder;
    if (FILE_is_absolute(c.field))
        return c.field;
    return c.folder + c.field;
}

void press_ok(chooser& c) {
    std::string p = field_path(c);
    if (FILE_is_folder(p)) {
        if (c.mode == 2) {
            c.answer = ends_in_slash(p) ? p : p + "/";
            c.result = 1;
        } else {
            enter_folder(c, p);
        }
        return;
    }
    if ((c.mode == 0 && FILE_is_file(p)) || (c.mode == 1 && !ends_in_slash(p))) {
        c.answer = p;
        c.result = 1;
    }
}

void click_row(chooser& c, const std::string& row) {
    if (row == "..")
        enter_folder(c, parent_of(c.folder));
    else if (ends_in_slash(row))
        enter_folder(c, c.folder + row);
    else
        c.field = c.folder + row;
}

std::string translated(const char* english) {
    std::string t;
    LANG_translate(t, english);
    return t;
}

// One frame of the chooser's drawing and input; the result is set once it ends.
void chooser_pass(chooser& c) {
    const float w = screen_state.view_width, h = screen_state.view_height;
    APP_input_state& in = ui_state.input;
    OGL_clear_view();
    BTN_dialog_frame(0, 24);
    OGL_draw_string(52, w / 2.0f, h - 50.0f, c.prompt, w - 40.0f, 0, 1, 1.0f);
    BTN_text_field(30.0f, h - 80.0f, c.field, max_path, "", w - 60.0f, 1);

    // The list, with its scroll buttons on the right.
    // Rows stand a line step and a little apart: closer, the ".." row's dots sit on the next row's
    // capitals ("Desktop/" reads as a D with a diaeresis).
    const float row_height = OGL_line_step(0) + 3.0f;
    const float left = 30.0f, right = w - 56.0f, top = h - 100.0f, bottom = 50.0f;
    BTN_frame2(19, left, bottom, right - left, top - bottom, "", 1.0f);
    const int visible = std::max(1, static_cast<int>(std::floor((top - bottom - 4.0f) / row_height)));
    const int count = static_cast<int>(c.rows.size());
    if (BTN_push(w - 38.0f, top - 10.0f, 24.0f, 0, 1, "^", "-"))
        c.first_row -= visible - 1;
    if (BTN_push(w - 38.0f, bottom + 10.0f, 24.0f, 0, 1, "v", "-"))
        c.first_row += visible - 1;
    c.first_row = std::clamp(c.first_row, 0, std::max(0, count - visible));

    const std::string selected = field_path(c);
    std::string clicked;
    OGL_push_scissor(static_cast<int>(left), static_cast<int>(bottom), static_cast<int>(right),
                     static_cast<int>(top));
    for (int i = 0; i < visible && c.first_row + i < count; ++i) {
        const std::string& row = c.rows[static_cast<size_t>(c.first_row + i)];
        const float y0 = top - 2.0f - static_cast<float>(i + 1) * row_height;
        if (row != ".." && c.folder + row == selected)
            OGL_draw_rect(66, 1.0f, left, y0, right - left, row_height);
        OGL_draw_string(52, left + 6.0f, y0 + 4.0f, row, 9999.0f, 0, 0, 1.0f);
        if (in.click[0] && ui_state.captured_id == -1 && in.mouse_x >= left && in.mouse_x <= right &&
            in.mouse_y >= y0 && in.mouse_y < y0 + row_height)
            clicked = row;
    }
    OGL_pop_scissor();
    if (!clicked.empty())
        click_row(c, clicked);

    const bool ok =
        BTN_push(w / 3.0f, 18.0f, 0.0f, 0, 1, c.button.empty() ? translated("OK") : c.button, "-");
    const bool cancel = BTN_push(2.0f * w / 3.0f, 18.0f, 0.0f, 0, 1, translated("Cancel"), "-");
    // Screens 999 and 1000 are not closed by the key handler: Return and Esc are read here.
    const bool enter = in.enter != 0, esc = in.esc != 0;
    in.enter = in.esc = 0;
    if (cancel || esc)
        c.result = 0;
    else if (ok || enter)
        press_ok(c);
}

} // namespace

bool BTN_file_chooser(int mode, const std::string& prompt, const std::string& start, std::string& out,
                      const std::string& button) {
    chooser c;
    c.mode = mode;
    c.prompt = prompt;
    c.button = button;
    size_t slash = start.rfind('/');
    std::string folder = slash == std::string::npos ? WIN_home_folder() : start.substr(0, slash + 1);
    const int screen = mode == 1 ? 1000 : 999;
    const int saved = screen_state.screen_id;
    APP_set_screen(screen);
    enter_folder(c, folder);
    if (mode == 1 && slash != std::string::npos)
        c.field = folder + start.substr(slash + 1);

    while (screen_state.screen_id == screen && c.result < 0) {
        if (WIN_quit_requested()) {
            c.result = 0;
            break;
        }
        chooser_pass(c);
        if (c.result < 0 && screen_state.screen_id == screen)
            APP_run_one_frame();
    }
    if (screen_state.screen_id == screen)
        APP_set_screen(saved);
    if (c.result != 1)
        return false;
    out = c.answer;
    return true;
}
