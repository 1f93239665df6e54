// INST_copy_chooser: the chooser of an installed copy and the test for a copy's folder.
#include "installer/INST_copy_chooser.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/APP_alert.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "installer/INST_globals.h"
#include "installer/INST_registration.h"
#include "installer/INST_text.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/WIN_file_dialog.h"

using inst_text::tr;

namespace {

// The user picks a folder; the install folder becomes the copy that holds it (the folder itself or the
// nearest parent that is a copy), which is then registered. Otherwise it stays empty.
void find_copy() {
    INST_install_folder.clear();
    if (!WIN_choose_file_or_folder(2, tr("Please select your Aerivon 10 folder."), "", INST_install_folder,
                                   tr("Select"))) {
        INST_install_folder.clear();
        return;
    }
    const std::string chosen = INST_install_folder;
    while (!INST_is_install_folder()) {
        std::string parent;
        FILE_parent_folder(parent, INST_install_folder);
        // On this system the walk ends at "/", whose parent is itself.
        if (parent.empty() || parent == INST_install_folder) {
            APP_alert(0, tr("You selected the folder path:"), chosen,
                      tr("But it does not appear to be an installed copy of Aerivon 10."),
                      tr("Please be sure to select the folder that contains the Aerivon application."), 1,
                      "main", 428);
            INST_install_folder.clear();
            return;
        }
        INST_install_folder = parent;
    }
    INST_register_install_folder();
    INST_read_registration_file();
}

} // namespace

int INST_is_install_folder() {
    if (INST_install_folder.empty() || INST_install_folder.back() != '/')
        return 0;
    std::vector<std::string> names;
    std::vector<int> types;
    FILE_list_folder(INST_install_folder, 0, names, types);
    static const char* const words[4] = {"Airfoils", "Instructions", "Output", "Resources"};
    bool seen[4] = {false, false, false, false};
    for (size_t i = 0; i < names.size(); ++i) {
        if (types[i] != 1)
            continue;
        for (int w = 0; w < 4; ++w)
            if (names[i].find(words[w]) != std::string::npos)
                seen[w] = true;
    }
    return seen[0] && seen[1] && seen[2] && seen[3] ? 1 : 0;
}

void INST_choose_installed_copy() {
    const int n = static_cast<int>(known_installs.size());
    if (n == 1 && INST_install_folder.empty())
        INST_install_folder = known_installs[0];

    for (int i = 0; i < n; ++i) {
        const std::string& copy = known_installs[static_cast<size_t>(i)];
        int ticked = copy == INST_install_folder ? 1 : 0;
        if (BTN_check(250.0f, 400.0f - 25.0f * static_cast<float>(i), &ticked, "|-" + copy, 1))
            INST_install_folder = copy;
    }

    const std::string question =
        n == 1 ? tr("Are you looking for a different copy of Aerivon 10 on your computer?")
               : tr("Is the copy of Aerivon 10 you're looking for missing from this list?");
    const float k = n == 1 ? 25.0f : 0.0f;
    OGL_draw_string(54, 230.0f, 25.0f * static_cast<float>(16 - n) - k, question, 400.0f, 0, 0, 1.0f);
    const float x = 285.0f + std::min(400.0f, OGL_measure_string(question));
    if (BTN_push(x, 403.0f - 25.0f * static_cast<float>(n) - k, 100.0f, 0, 1, tr("Find It"), "-"))
        find_copy();
}
