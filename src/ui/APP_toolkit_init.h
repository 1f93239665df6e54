// APP_toolkit_init: what the toolkit sets up before start-up runs: its named variables, its named
// actions, and its global objects.
//
// The modules that own a named variable register it through their own initialiser (the texture units,
// the view, the fonts, the texture manager's rendering options); this one runs those initialisers and
// registers the remaining variables of the toolkit, which nothing in this program reads. The memory
// module registers its "Dump Memory Info" action itself. The global objects
// (the view, the capability record, the colour settings, the command registry, the texture manager, the
// translation tables, the HTTP manager) are built when the program is loaded; this makes the command
// registry's tables and starts the movie recorder (QTIM_init), which sets the capture-available flag. Nothing
// depends on static order.
#pragma once
#include <vector>

class DREF_var;

// Runs once, on the main thread, before hl_init; later calls do nothing.
void APP_toolkit_init();

// Every named variable the toolkit registers, the modules' ones included, in registration order.
const std::vector<DREF_var*>& APP_toolkit_vars();
