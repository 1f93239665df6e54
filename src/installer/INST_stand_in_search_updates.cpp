// INST_stand_in_search_updates: the update road's search page, which the disc roads' finish pages offer,
// until the update road is part of the program: it names its step and leads back to the disc welcome.
#include "base/LANG_localise.h"
#include "installer/INST_dvd_road.h"
#include "installer/INST_wizard.h"

int INST_page_search_updates(int, page_desc* desc) {
    LANG_translate(desc->title, "Search for Updates");
    desc->back = INST_page_dvd_welcome;
    return 0;
}
