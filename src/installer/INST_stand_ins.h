// INST_stand_ins: operations of the DVD roads that the web roads refer to. Until those roads are part of
// the program, the definitions in INST_stand_in_*.cpp take their place with the least behaviour the web
// roads rely on. The copy chooser, the update road and the preferences dialog are declared here too, for
// the pages that name them.
#pragma once
#include <string>

#include "installer/INST_copy_chooser.h"
#include "installer/INST_preferences.h"
#include "installer/INST_update_road.h"

struct page_desc;

// The DVD road's welcome page, which the update road's step list names for "Welcome" (steps cannot be
// clicked, so it is never shown from the web roads).
int INST_page_dvd_welcome(int entered, page_desc* desc);

// The first CD/DVD drive root that passes the predicate, else "".
std::string UTL_find_dvd_drive(bool (*predicate)(const std::string& root));
