// INST_stand_ins: operations of the update road, the copy chooser and the general-preferences dialog that
// the web demo road refers to. Until those roads are part of the program, the definitions in
// INST_stand_in_*.cpp take their place with the least behaviour the demo road relies on.
#pragma once
#include <string>

struct page_desc;

// The update road's copy-chooser page ("Update the Aerivon Demo" on the welcome page).
int INST_page_choose_copy_update(int entered, page_desc* desc);
// Draws the chooser of the registered copies and sets the install folder; called once per frame by a page.
void INST_choose_installed_copy();
// The general-preferences dialog behind the OPTIONS button.
void INST_preferences_dialog();
