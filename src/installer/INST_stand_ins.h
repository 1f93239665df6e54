// INST_stand_ins: the DVD road's welcome page, which the update road's step list names. Until that road is
// part of the program, INST_stand_in_dvd_welcome.cpp takes its place with the least behaviour the web
// roads rely on. The copy chooser, the update road and the preferences dialog, which the demo road and the
// wizard name, are declared in their own headers, included here for those pages.
#pragma once

#include "installer/INST_copy_chooser.h"
#include "installer/INST_preferences.h"
#include "installer/INST_update_road.h"

struct page_desc;

// The DVD road's welcome page, which the update road's step list names for "Welcome" (steps cannot be
// clicked, so it is never shown from the web roads).
int INST_page_dvd_welcome(int entered, page_desc* desc);
