// INST_stand_ins: the operations of other roads that the web roads name: the copy chooser, the update road,
// the general-preferences dialog and the disc road's welcome page. All of them are built now; this header
// gathers their declarations for the pages that include it.
#pragma once
#include "installer/INST_copy_chooser.h"
#include "installer/INST_dvd_road.h"
#include "installer/INST_preferences.h"
#include "installer/INST_update_road.h"
