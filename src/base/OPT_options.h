// OPT_options: the command-line option store and the options that end the program at once.
#pragma once
#include <map>
#include <string>

// Key text (dashes kept: "--lang", "-h") -> value text ("" for a key given without '='); ordered by
// byte-wise key comparison, one value per key (the last occurrence wins). Written by OPT_parse on the main
// thread before any other thread starts; read-only afterwards.
extern std::map<std::string, std::string> OPT_store;

// Fills OPT_store from the command-line text, then runs OPT_early_commands (which may end the program).
// Never fails: options no module reads are stored like any other.
void OPT_parse(const char* text);
// OPT_parse without the early commands. Clears the store first; a null text counts as empty.
void OPT_parse_only(const char* text);
// The first that applies of "--cmnds", "--version", "-h"/"--help" prints to standard output and ends the
// program with exit code 0; with none of them present it returns.
void OPT_early_commands();
bool OPT_has(const std::string& key);
// The stored value, or "" when absent (use OPT_has to tell absent from empty).
std::string OPT_get(const std::string& key);
// Hands the rest of every key that is longer than 7 bytes and begins with "--dref:" to the named-variable
// setter, in store order. Such options are accepted and change nothing.
void OPT_apply_drefs();
// "--fps_test" or "--qa_script" given: an automated run.
bool OPT_is_test_run();
// "--report_crash" or "--send_report" given: the crash-report mode of start-up.
bool OPT_is_crash_report();
// The usage text that "--help" prints: its first line names `program`, the executable as it was called
// ("Usage: aerivon-installer [options...]"; "Aerivon" when empty), then the fixed text of every option.
std::string OPT_usage_text(const std::string& program);
// The plain argument: the text last handed to OPT_parse less its "--" words (a word that begins with "--",
// with its value, quotes included), the remaining pieces trimmed and joined by one blank. Start-up reads a
// folder or file to update from it.
std::string OPT_plain_argument();
