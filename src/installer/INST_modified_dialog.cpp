// INST_modified_dialog: the drawn question about a user-modified file.
#include "installer/INST_modified_dialog.h"

#include <algorithm>

#include "base/LANG_localise.h"
#include "installer/INST_plan.h"
#include "installer/INST_text.h"
#include "platform/WIN_message.h"
#include "ui/APP_frame.h"
#include "ui/APP_screens.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/OGL_view.h"
#include "ui/screen_state.h"

using inst_text::tr;

namespace {

constexpr int question_screen = 996;

struct dialog_button {
    int column;
    float y;
    int result;
};
// In the order of the texts below: three columns, the upper row on 46 and the lower on 18 (their strips
// keep a gap).
constexpr dialog_button buttons[5] = {{0, 46.0f, INST_ANSWER_ACT},
                                      {0, 18.0f, INST_ANSWER_KEEP},
                                      {1, 46.0f, INST_ANSWER_ACT_FOLDER},
                                      {1, 18.0f, INST_ANSWER_KEEP_FOLDER},
                                      {2, 18.0f, INST_ANSWER_CANCEL}};
constexpr float column_x[3] = {90.0f, 310.0f, 590.0f}, column_width[3] = {160.0f, 280.0f, 220.0f};

} // namespace

INST_modified_columns INST_modified_dialog_columns(const float needed[3], float view_width) {
    INST_modified_columns c;
    float want = 0.0f, deficit = 0.0f;
    bool fits = true;
    for (int i = 0; i < 3; ++i) {
        c.x[i] = column_x[i];
        c.width[i] = column_width[i];
        want += std::max(needed[i], column_width[i]);
        deficit += std::max(needed[i] - column_width[i], 0.0f);
        fits = fits && needed[i] <= column_width[i];
    }
    if (fits)
        return c;
    // The columns grow from the left margin with a gap between them, into the room the row has; when that is
    // not enough for all, each takes a share of it by what it lacks (its labels are drawn smaller).
    constexpr float margin = 10.0f, gap = 6.0f;
    const float room = view_width - 2.0f * margin - 2.0f * gap;
    const float spare = room - (column_width[0] + column_width[1] + column_width[2]);
    float left = margin;
    for (int i = 0; i < 3; ++i) {
        const float lack = std::max(needed[i] - column_width[i], 0.0f);
        if (want <= room)
            c.width[i] = std::max(needed[i], column_width[i]);
        else if (deficit > 0.0f && spare > 0.0f)
            c.width[i] = column_width[i] + spare * lack / deficit;
        c.x[i] = left + c.width[i] * 0.5f;
        left += c.width[i] + gap;
    }
    return c;
}

int INST_ask_about_modified_file(const std::string& path, int gone) {
    APP_set_screen(question_screen);
    for (;;) {
        if (screen_state.screen_id != question_screen || WIN_quit_requested())
            return INST_ANSWER_CANCEL;
        const std::string first = gone ? tr("I am about to DELETE:") : tr("I am about to install:");
        const std::string question =
            gone ? tr("because we no longer use this file, but it appears you have modified it. What to do?")
                 : tr("but it appears you have modified this file. What to do?");
        const std::string labels[5] = {
            gone ? tr("DELETE THE OLD FILE") : tr("OVERWRITE THE OLD FILE"), tr("KEEP THE OLD FILE"),
            gone ? tr("DELETE EVERY OLD FILE IN THIS DIRECTORY")
                 : tr("OVERWRITE EVERY OLD FILE IN THIS DIRECTORY"),
            tr("KEEP EVERY OLD FILE IN THIS DIRECTORY"), tr("CANCEL THE WHOLE INSTALLATION!")};

        OGL_clear_view();
        BTN_dialog_frame(0, 24);
        const float wrap = screen_state.view_width - 40.0f;
        // Each block starts 10 units below where the one above it ended.
        float y = OGL_draw_string(52, 20.0f, 110.0f, first, wrap, 0, 0, 1.0f);
        y = OGL_draw_string(52, 20.0f, y - 10.0f, path, wrap, 0, 0, 1.0f);
        OGL_draw_string(52, 20.0f, y - 10.0f, question, wrap, 0, 0, 1.0f);
        float needed[3] = {0.0f, 0.0f, 0.0f};
        for (int i = 0; i < 5; ++i)
            needed[buttons[i].column] = std::max(needed[buttons[i].column], BTN_push_width_for(labels[i]));
        const INST_modified_columns columns = INST_modified_dialog_columns(needed, screen_state.view_width);
        for (int i = 0; i < 5; ++i) {
            const dialog_button& b = buttons[i];
            if (BTN_push(columns.x[b.column], b.y, columns.width[b.column], 0, 1, labels[i], "-")) {
                APP_set_screen(0);
                return b.result;
            }
        }
        APP_run_one_frame();
    }
}
