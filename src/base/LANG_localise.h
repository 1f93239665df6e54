// LANG_localise: the language table, translation tables and placeholder substitution.
//
// DESIGN: English texts are the keys. A translation file ("I", "900 version", "TRANSLATION", then
// "STRING english====translation" and "GENITIVE english====translation" lines) fills table 0 and
// table 1; every problem in it is written to the log and never shown. The language table, the current
// language and the available list belong to the main thread. The translation tables, the loaded flag,
// the plural rule, the missing-strings flag, the missing set and the "Untranslated Strings.txt" stream
// are shared under one lock: any thread may translate (the out-of-memory alert does so on workers).
#pragma once
#include <string>
#include <vector>

// Number of rows of the language table: 0 English, 1 French, 2 German, 3 Russian, 4 Italian,
// 5 Spanish, 6 Portuguese, 7 Japanese.
constexpr int LANG_COUNT = 8;

// The current language number (0 English at start). Main thread only; the language chooser binds its
// radio buttons to it.
int& LANG_current_language();

// A copy of the available languages; an empty list is first filled with 0..7. Main thread.
std::vector<int> LANG_available();

// The language to start in, or -1: no available language -> -1; exactly one -> it; "--lang" equal to
// the code of an available language (whole text, case-sensitive) -> the first such; else the user's
// interface language (WIN_get_user_ui_language) matched against the available languages' language ids
// in list order; else -1. Main thread.
int LANG_choose();

// The folder name ("French/") and the display name ("|Français": a '|' before the name) of row n;
// "" for n outside 0..7.
std::string LANG_folder_name(int n);
std::string LANG_display_name(int n);

// Empties both tables and the missing set, clears the loaded flag, sets the plural rule to 1.
void LANG_reset();

// Loads language n from its row's resource path ("RESOURCE:French.txt"), writing its progress and every
// problem of the file to LOG_stream. A missing file (always for English) or a bad header leaves the
// tables empty, so texts stay English. Sets the missing-strings flag when "--missing_strings" is given
// and the file loaded. Main thread.
void LANG_load(int n);

// At start-up: LANG_load of the current language, or LANG_reset when it is English.
void LANG_load_translations();

// Empties the available list and fills it from the "LANG <code>" lines of the text file at `path` (each
// row whose code equals the word, in file order); then, when LANG_choose gives a language other than the
// current one, it becomes current and is loaded. Main thread.
void LANG_read_dvd_langs(const std::string& path);

// out = the translation of the English text in table 0 (STRING) or 1 (GENITIVE); the English text itself
// when no translation is loaded or the text has none. With the missing-strings flag set, a text without
// translation is written once per language load to "Untranslated Strings.txt" in the executable's
// folder, as "STRING <escaped>====<escaped>\n". Any thread; `out` may be `english`.
void LANG_translate(std::string& out, const std::string& english, int table = 0);

// The singular or plural English text for count n under the current plural rule (0: n < 2 singular;
// 1: n == 1 singular; 2: n mod 10 == 1 but n mod 100 != 11 singular, n mod 10 in 2..4 outside 10..20
// mod 100 the table-1 form when table 1 holds it), translated. Any thread.
void LANG_translate_count(std::string& out, int n, const std::string& singular, const std::string& plural);

// out = `templ` with each placeholder "%n:label%" for 1 <= n <= count replaced by args[n - 1]; inserted
// text is never scanned again; other '%' signs and placeholders stay. Placeholder numbers saturate, so a
// huge one is simply out of range. Reentrant; `out` may alias the template or an argument.
void LANG_substitute(std::string& out, const std::string& templ, int count, const std::string* const* args);
void LANG_subst1(std::string& out, const std::string& templ, const std::string& a1);
void LANG_subst2(std::string& out, const std::string& templ, const std::string& a1, const std::string& a2);
void LANG_subst3(std::string& out, const std::string& templ, const std::string& a1, const std::string& a2,
                 const std::string& a3);
void LANG_subst4(std::string& out, const std::string& templ, const std::string& a1, const std::string& a2,
                 const std::string& a3, const std::string& a4);

// Each two-character "\r" becomes a carriage return, then each "\n" a line feed (in place).
void LANG_unescape(std::string& text);
// Carriage returns become "\r", then line feeds "\n" (in place).
void LANG_escape(std::string& text);

// ---- Seams for tests
// LANG_load(n) with the translation file read from `path` in place of row n's resource path.
void LANG_load_file(int n, const std::string& path);
// Back to the start-up state: English current, no available list, empty tables, missing-strings flag
// clear, its list closed; the next list goes to `missing_strings_file` ("" = the executable's folder).
void LANG_restart_for_test(const std::string& missing_strings_file);
// The file the missing-strings list goes to.
std::string LANG_missing_strings_file();
