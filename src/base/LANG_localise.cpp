// LANG_localise: interim: English only.
#include "base/LANG_localise.h"

void LANG_translate(std::string& out, const std::string& english, int table) {
    (void)table;
    out = english;
}
