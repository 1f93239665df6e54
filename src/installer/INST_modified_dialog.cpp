// INST_modified_dialog: the drawn question about a user-modified file.
#include "installer/INST_modified_dialog.h"

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
    float x, y, width;
    int result;
};
// In the order of the texts below.
constexpr dialog_button buttons[5] = {{90.0f, 40.0f, 160.0f, INST_ANSWER_ACT},
                                      {90.0f, 20.0f, 160.0f, INST_ANSWER_KEEP},
                                      {310.0f, 40.0f, 280.0f, INST_ANSWER_ACT_FOLDER},
                                      {310.0f, 20.0f, 280.0f, INST_ANSWER_KEEP_FOLDER},
                                      {590.0f, 20.0f, 220.0f, INST_ANSWER_CANCEL}};

} // namespace

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
        for (int i = 0; i < 5; ++i) {
            const dialog_button& b = buttons[i];
            if (BTN_push(b.x, b.y, b.width, 0, 1, labels[i], "-")) {
                APP_set_screen(0);
                return b.result;
            }
        }
        APP_run_one_frame();
    }
}
