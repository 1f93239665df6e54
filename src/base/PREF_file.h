// PREF_file: preferences files: a text data file of version 10 whose lines hold a key and a value. One
// key list per set runs either way, so a set is listed once and serves both the load and the save; any
// key can be overridden on the command line with "--pref:" + key.
//
// File: "I\n10 version\n", then "key value\n" lines (a key has no blanks; the value is the rest of the
// line). "UNSAFE" marks the file, "AUTO_UPDATE" clears the mark; neither is a preference.
#pragma once
#include <map>
#include <string>

#include "base/x_ofstream.h"

// One load or one save of a preferences file.
struct pref_file {
    x_ofstream writer;
    int unsafe = 0; // set by an "UNSAFE" line, cleared by an "AUTO_UPDATE" line
    int mode = 0;   // 0 read, 1 write
    std::map<std::string, std::string> values;
};

// Read (mode 0): empties the map and reads `path` into it when its header is "I" (or "A") and
// "10 version"; a missing or foreign file leaves it empty. With mark_unsafe, "UNSAFE\n" is then appended to
// the file. Write (mode 1): rewrites `path` with the header (a failure raises ouf_open's kind-1 alert).
void PREF_open(pref_file& f, const std::string& path, int mode, int mark_unsafe);

// Read: `value` = the "--pref:" + key option when given, else the file's value; true when either had
// the key, else false with `value` untouched. Write: the line "key value\n" (CR and LF written as blanks;
// nothing for an empty value); false.
bool PREF_string(pref_file& f, std::string& value, const std::string& key);
// The same for an integer. Read: the text's leading decimal number, saturated to the int range (a text
// that is no number gives 0). Write: "%d", always.
bool PREF_int(pref_file& f, int& value, const std::string& key);

// Write mode: flushes and closes the file. Both modes: frees the map.
void PREF_close(pref_file& f);

// Runs set `set`'s key list to load (write 0) or save (write 1) it. Set 11, the installer preferences, is
// "Aerivon Installer.prf" in the local application-data folder (special folder 5): "_message_1" to
// "_message_4", "_stream_count", "_log_actions", "_proxy_host", "_proxy_port", "_proxy_port_int",
// "_get_beta". Other sets do nothing.
void PREF_load_save(int set, int write);

// The installer preferences that have no other home in the foundation library (the proxy values live in
// the HTTP client's manager). Main thread only.
struct installer_prefs {
    std::string messages[4]; // kept from run to run
    int stream_count = 0;
    int log_actions = 0; // log each action of the installer's engine
    int get_beta = 0;    // fetch beta versions
};
extern installer_prefs PREF_installer;
