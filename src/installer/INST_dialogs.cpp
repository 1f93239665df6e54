// INST_dialogs: the installer-too-old alert and the two-button dialog.
#include "installer/INST_dialogs.h"

#include <algorithm>

#include "base/APP_alert.h"
#include "base/LANG_localise.h"
#include "installer/INST_text.h"
#include "platform/WIN_message.h"
#include "platform/WIN_system.h"
#include "ui/APP_frame.h"
#include "ui/APP_screens.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/OGL_view.h"
#include "ui/screen_state.h"

using inst_text::tr;

namespace {

// The two buttons' centre lines: 30 apart, so that their 26-unit strips keep a gap.
constexpr float button1_y = 58.0f, button2_y = 28.0f;

} // namespace

void INST_report_installer_too_old(const std::string& line4) {
    APP_alert(0,
              tr("OK I am checking the Nordvane Systems servers and I am finding file formats that are newer "
                 "than I can understand!"),
              tr("In other words, you need to get a new installer!"),
              tr("No problem... grab it at the download section of ") + INST_MAKER_WEB_SITE + ".", line4, 1,
              "utils", 92);
    WIN_open_url(INST_DEMO_PAGE);
    WIN_request_quit();
}

int INST_two_button_dialog(const std::string& message, const std::string& label1,
                           const std::string& explanation1, const std::string& label2,
                           const std::string& explanation2) {
    APP_set_screen(997);
    for (;;) {
        if (screen_state.screen_id != 997)
            return 3;
        // Closing the window or SIGTERM asks for a quit that only the run loop can carry out: the question
        // ends unanswered and the wizard's screen comes back for the frames that remain.
        if (WIN_quit_requested()) {
            APP_set_screen(0);
            return 3;
        }
        const float w = screen_state.view_width;
        OGL_clear_view();
        BTN_dialog_frame(0, 24);
        // The buttons share a width: 100, or what the longer label needs; their left edge stays at 46 and
        // the explanations start a gap right of them.
        const float bw =
            std::min(std::max({100.0f, BTN_push_width_for(label1), BTN_push_width_for(label2)}), w * 0.4f);
        const float bx = 46.0f + bw * 0.5f, ex = std::max(150.0f, 46.0f + bw + 8.0f);
        OGL_draw_string(52, 20.0f, 160.0f, message, w - 40.0f, 0, 0, 1.0f);
        OGL_draw_string(52, ex, button1_y - 3.0f, explanation1, w - ex - 60.0f, 0, 0, 1.0f);
        OGL_draw_string(52, ex, button2_y - 3.0f, explanation2, w - ex - 60.0f, 0, 0, 1.0f);
        if (BTN_push(bx, button1_y, bw, 0, 1, label1, "-")) {
            APP_set_screen(0);
            return 1;
        }
        if (BTN_push(bx, button2_y, bw, 0, 1, label2, "-")) {
            APP_set_screen(0);
            return 0;
        }
        APP_run_one_frame();
    }
}
