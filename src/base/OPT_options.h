// OPT_options: the command-line option store and the options that end the program at once.
#pragma once
#include <map>
#include <string>

// Key text (dashes kept) -> value text; ordered by byte-wise key comparison, one value per key.
extern std::map<std::string, std::string> OPT_store;

// Fills OPT_store from the command-line text, then runs OPT_early_commands (which may exit).
void OPT_parse(const char* text);
// Splits the text into OPT_store only (no early commands). Clears the store first.
void OPT_parse_only(const char* text);
// "--cmnds", "--version", "-h"/"--help": prints and exits 0 when one of them is present.
void OPT_early_commands();
bool OPT_has(const std::string& key);
// The stored value, or "" when absent.
std::string OPT_get(const std::string& key);
// Hands every "--dref:" option to the named-variable setter (which does nothing).
void OPT_apply_drefs();
// "--fps_test" or "--qa_script" given.
bool OPT_is_test_run();
// "--report_crash" or "--send_report" given.
bool OPT_is_crash_report();
// The fixed usage text printed by "--help".
const char* OPT_usage_text();
