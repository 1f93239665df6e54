// INST_stand_in_dvd_welcome: the DVD road's welcome page, until that road is part of the program: it says
// where the road starts and leads to the web demo's welcome page.
#include "base/LANG_localise.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_stand_ins.h"
#include "installer/INST_wizard.h"

int INST_page_dvd_welcome(int, page_desc* desc) {
    LANG_translate(desc->title, "Welcome");
    desc->next = INST_page_demo_welcome;
    return 0;
}
