// INST_copy_chooser: picking an installed copy of the simulator, from the registered copies or by finding
// it on disk, for the pages that work on an existing copy (updating it, or starting it). Main thread only,
// inside the wizard frame.
#pragma once

// Draws the chooser in the page's content panel and sets the install folder; called once per frame by a
// page. In wizard coordinates, with n registered copies:
// | what                 | where                                   | does                                 |
// |----------------------|-----------------------------------------|--------------------------------------|
// | one box per copy i   | (250, 400 - 25 i), radio look           | ticked while it is the install folder; |
// |                      |                                         | a click makes it the install folder  |
// | the question         | x 230, y 25 (16 - n) - k, wrap 400      | k = 25 when n is 1, else 0           |
// | "Find It"            | centre x 285 + question width (max 400),| the folder chooser; the chosen folder |
// |                      | y 403 - 25 n - k, 100 wide              | or the nearest parent holding a copy |
// With exactly one copy and no install folder yet, that copy becomes the install folder at once. A copy
// found with "Find It" is registered (once) and the registration file read again; a folder with no copy
// in it or above it raises the kind-1 alert and leaves the install folder empty, as does a cancelled
// chooser.
void INST_choose_installed_copy();

// 1 when the install folder holds a copy: among its entries (names beginning with '.' left out, links not
// followed) are folders whose names contain "Airfoils", "Instructions", "Output" and "Resources" (each
// somewhere in some name, case-sensitive); else 0, also for an empty or missing folder.
int INST_is_install_folder();
