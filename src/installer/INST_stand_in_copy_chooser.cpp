// INST_stand_in_copy_chooser: the update road's entry, the copy chooser and the preferences dialog, as far
// as the demo road needs them. The chooser lists the registered copies as radio boxes; the update page
// leads nowhere yet; OPTIONS opens nothing.
#include "base/LANG_localise.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_globals.h"
#include "installer/INST_registration.h"
#include "installer/INST_stand_ins.h"
#include "installer/INST_wizard.h"
#include "ui/BTN_widgets.h"

int INST_page_choose_copy_update(int, page_desc* desc) {
    LANG_translate(desc->title, "Pick Destination");
    desc->preferences = 1;
    desc->back = INST_page_demo_welcome;
    INST_choose_installed_copy();
    return 0;
}

void INST_choose_installed_copy() {
    if (known_installs.size() == 1 && INST_install_folder.empty())
        INST_install_folder = known_installs[0];
    for (size_t i = 0; i < known_installs.size(); ++i) {
        int ticked = known_installs[i] == INST_install_folder ? 1 : 0;
        if (BTN_check(250.0f, 400.0f - 25.0f * static_cast<float>(i), &ticked, "|-" + known_installs[i], 1))
            INST_install_folder = known_installs[i];
    }
}

void INST_preferences_dialog() {}
