// INST_preferences: the general-preferences dialog.
#include "installer/INST_preferences.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/LANG_localise.h"
#include "base/PREF_file.h"
#include "base/hl_string.h"
#include "base/http.h"
#include "installer/INST_globals.h"
#include "installer/INST_text.h"
#include "platform/WIN_message.h"
#include "ui/APP_frame.h"
#include "ui/APP_screens.h"
#include "ui/BTN_popup.h"
#include "ui/BTN_text_field.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/OGL_text_record.h"
#include "ui/OGL_view.h"
#include "ui/screen_state.h"

using inst_text::tr;

namespace {

constexpr int preferences_screen = 998;
constexpr int proxy_text_limit = 65;

// The proxy port number of a port text: 0 when empty, else the integer's value (-1 for any other text).
int proxy_port_number(const std::string& text) { return text.empty() ? 0 : STR_parse_int(text); }

} // namespace

float INST_proxy_field_x(float host_label_width, float port_label_width) {
    // The panel's inner edge (10), a gap of 6, the label, and the 12 between a label and its field.
    return std::max(85.0f, std::ceil(10.0f + 6.0f + std::max(host_label_width, port_label_width) + 12.0f));
}

void INST_preferences_dialog() {
    APP_set_screen(preferences_screen);
    http_manager& http = HTTP_manager();
    while (screen_state.screen_id == preferences_screen && !WIN_quit_requested()) {
        OGL_clear_view();
        BTN_dialog_frame(1, 24);
        // The proxy panel holds the two fields at the bottom; the general panel fills the rest.
        constexpr float proxy_height = 84.0f, general_y = 124.0f;
        float proxy_top = 0.0f;
        BTN_panel(0.0f, 16, -1.0f, -1.0f, -1.0f, proxy_height,
                  tr("Proxy (if you are behind a firewall with a Proxy)"), nullptr, &proxy_top);
        BTN_panel(0.0f, 16, -1.0f, general_y, -1.0f, -1.0f, tr("General Preferences"));

        {
            const OGL_text_box_scope general("panel", 10.0f, general_y, screen_state.view_width - 10.0f,
                                             screen_state.view_height - 28.0f);
            // OS code 0 has no item: a negative selection shows none and stays until a row is chosen.
            int index = INST_selected_os - 1;
            BTN_popup(
                250.0f, 300.0f, &index, tr("Macintosh-Windows-Linux"),
                tr("Operating System to download Aerivon for:|(Install and copy the entire Aerivon folder to "
                   "another computer if you like)"),
                '-');
            INST_selected_os = index + 1;

            BTN_check(
                250.0f, 140.0f, &PREF_installer.log_actions,
                tr("|Log installer actions. Turn this on to output the installer file downloads and stuff to "
                   "the file log.txt."),
                0);
        }
        // The fields start where their labels leave room inside the panel and end where they always end.
        const std::string host_label = tr("-proxy host"), port_label = tr("-proxy port");
        const float field_x = INST_proxy_field_x(OGL_measure_string(host_label.substr(1)),
                                                 OGL_measure_string(port_label.substr(1)));
        const OGL_text_box_scope proxy("panel", 10.0f, 10.0f, screen_state.view_width - 10.0f,
                                       proxy_top - 10.0f);
        BTN_text_field(field_x, 52.0f, http.proxy_host, proxy_text_limit, host_label, 540.0f - field_x, 1);
        BTN_text_field(field_x, 22.0f, http.proxy_port, proxy_text_limit, port_label, 540.0f - field_x, 1);
        http.port = proxy_port_number(http.proxy_port);
        APP_run_one_frame();
    }
    // Keys typed in the frame in which a quit ended the loop still count.
    BTN_text_field_flush();
    http.port = proxy_port_number(http.proxy_port);
}
