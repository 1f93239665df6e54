// LANG_localise: the language table, loading of translation files, look-up and substitution.
#include "base/LANG_localise.h"

#include <algorithm>
#include <climits>
#include <map>
#include <mutex>
#include <set>

#include "base/BTN_split_label.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/x_ofstream.h"
#include "base/xmap.h"
#include "platform/WIN_language.h"

namespace {

struct language_row {
    const char* display_name; // a '|' and the name, so a radio button shows it right of its box
    const char* folder;
    const char* resource_path; // "" for English, which has no file
    const char* file_path;     // kept with the row; loading reads the resource path only
    const char* code;
    int language_id; // Windows primary language id
    int plural_rule;
};

const language_row rows[LANG_COUNT] = {
    {"|English", "English/", "", "", "en", 9, 1},
    {"|Fran\xC3\xA7"
     "ais",
     "French/", "RESOURCE:French.txt", "Resources/text/French.txt", "fr", 12, 0},
    {"|Deutsch", "German/", "RESOURCE:German.txt", "Resources/text/German.txt", "de", 7, 1},
    {"|\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9", "Russian/", "RESOURCE:Russian.txt",
     "Resources/text/Russian.txt", "ru", 25, 2},
    {"|Italiano", "Italian/", "RESOURCE:Italian.txt", "Resources/text/Italian.txt", "it", 16, 1},
    {"|Espa\xC3\xB1ol", "Spanish/", "RESOURCE:Spanish.txt", "Resources/text/Spanish.txt", "es", 10, 1},
    {"|Portugu\xC3\xAAs", "Portuguese/", "RESOURCE:Portuguese.txt", "Resources/text/Portuguese.txt", "pt", 22,
     1},
    {"|\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "Japanese/", "RESOURCE:Japanese.txt",
     "Resources/text/Japanese.txt", "ja", 17, 1},
};

// Stands in for a row outside the table, so a bad language number reads as "no file".
const language_row no_row = {"|", "", "", "", "", -1, 1};

const language_row& row_of(int n) { return n >= 0 && n < LANG_COUNT ? rows[n] : no_row; }

using translation_table = std::map<std::string, std::string>;

// Main thread only: the current language and the available list.
struct main_state {
    int current = 0;
    std::vector<int> available;
} main_thread;

// Any thread, under `lock`: the translation tables and everything the look-up reads or writes.
struct shared_state {
    std::mutex lock;
    translation_table tables[2]; // 0 STRING, 1 GENITIVE
    bool loaded = false;
    int plural_rule = 1;
    bool missing_strings = false;  // list texts that have no translation
    std::set<std::string> missing; // texts listed since the last load
    x_ofstream missing_stream;     // "Untranslated Strings.txt", opened on the first miss of the run
    bool missing_stream_tried = false;
    std::string missing_file_override; // tests only; "" = the executable's folder
} shared;

void reset_locked(int plural_rule) {
    shared.tables[0].clear();
    shared.tables[1].clear();
    shared.missing.clear();
    shared.loaded = false;
    shared.plural_rule = plural_rule;
}

std::string missing_file_locked() {
    if (!shared.missing_file_override.empty())
        return shared.missing_file_override;
    std::string folder;
    FILE_get_special_folder(0, folder);
    return folder + "Untranslated Strings.txt";
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
        text.replace(p, from.size(), to);
}

bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The decimal integer at `p` as atoi reads it (leading white space and one sign allowed, 0 without
// digits), saturated at the int range instead of overflowing.
int read_number(const std::string& text, size_t p) {
    while (p < text.size() && is_c_space(text[p]))
        ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-'))
        negative = text[p++] == '-';
    long long value = 0;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p)
        value = std::min<long long>(value * 10 + (text[p] - '0'), static_cast<long long>(INT_MAX) + 1);
    if (negative)
        return static_cast<int>(-value);
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

// A placeholder at or after `from`: the first '%', the first ':' after it and the first '%' after that.
// Returns false when there is no '%'; `open` is then npos. With a '%' but no ':' and closing '%',
// returns true with `close` npos.
bool find_placeholder(const std::string& text, size_t from, size_t& open, size_t& close) {
    open = text.find('%', from);
    if (open == std::string::npos)
        return false;
    size_t colon = text.find(':', open + 1);
    close = colon == std::string::npos ? std::string::npos : text.find('%', colon + 1);
    return true;
}

// The placeholder numbers (1 and up) of a text, sorted; scanned as the substitution scans.
std::vector<int> placeholder_numbers(const std::string& text) {
    std::vector<int> numbers;
    size_t p = 0, open, close;
    while (find_placeholder(text, p, open, close)) {
        int n = close == std::string::npos ? 0 : read_number(text, open + 1);
        if (n >= 1) {
            numbers.push_back(n);
            p = close + 1;
        } else {
            p = open + 1;
        }
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

size_t leading_spaces(const std::string& s) {
    size_t n = s.find_first_not_of(' ');
    return n == std::string::npos ? s.size() : n;
}

size_t trailing_spaces(const std::string& s) {
    size_t n = s.find_last_not_of(' ');
    return n == std::string::npos ? s.size() : s.size() - n - 1;
}

bool help_tips_broken(const std::string& english, const std::string& translated) {
    std::string e[3], t[3];
    BTN_split_label(english, e[0], e[1], e[2]);
    BTN_split_label(translated, t[0], t[1], t[2]);
    for (int i = 0; i < 3; ++i)
        if (!e[i].empty() && t[i].empty())
            return true;
    return false;
}

void log_text(const std::string& text) { LOG_stream << text; }

// The rest of the line from the cursor, without its end; the cursor moves past the line end bytes.
std::string take_rest_of_line(xmap_file& f) {
    const char* start = f.cursor;
    while (!XMAP_at_line_end(f))
        ++f.cursor;
    std::string text(start, f.cursor);
    while (f.cursor < f.end && (*f.cursor == '\r' || *f.cursor == '\n' || *f.cursor == '\0'))
        ++f.cursor;
    return text;
}

// One entry line of a translation file (steps: split, unescape, checks, store).
void read_entry(const std::string& text, translation_table& table) {
    const std::string line = "ERROR: language file line '" + text;
    size_t split = text.find("====");
    if (split == std::string::npos) {
        log_text(line + "' missing ==== splitter.\n");
        return;
    }
    std::string english = text.substr(0, split);
    std::string translated = text.substr(split + 4);
    if (translated.size() < 2) {
        log_text(line + "' missing right side translation.\n");
        return;
    }
    LANG_unescape(english);
    LANG_unescape(translated);

    if (placeholder_numbers(english) != placeholder_numbers(translated))
        log_text(line + "' has incorrect translated parameters.\n");
    if (!FILE_is_utf8(text.data(), text.data() + text.size()))
        log_text(line + "' contains invalid UTF8 characters.\n");
    if (help_tips_broken(english, translated))
        log_text(line + "' does not have its help tips correctly formatted.\n");
    if (leading_spaces(english) != leading_spaces(translated))
        log_text(line + "' does not have the same leading spaces.\n");
    if (trailing_spaces(english) != trailing_spaces(translated))
        log_text(line + "' does not have the same trailing spaces.\n");

    auto found = table.find(english);
    if (found != table.end()) {
        log_text(line + "' is a second translation of " + found->first + "====" + found->second + "\n");
        return;
    }
    table.emplace(std::move(english), std::move(translated));
}

void load_from(int n, const std::string& path) {
    const language_row& row = row_of(n);
    log_text(std::string(" ==== CHANGING LANGUAGE TO: ") + (row.display_name + 1) + ". ====\n");
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        reset_locked(row.plural_rule);
    }

    // The file is read into local tables without the lock: opening may raise an alert, which translates.
    xmap_file f(path);
    if (!f.base) {
        log_text("Could not find translation file: " + path + "; using English.\n");
        return;
    }
    const int versions[] = {900, 0};
    if (check_file(f, XMAP_TYPE_TEXT, versions, "TRANSLATION", nullptr) != 900) {
        log_text("Translation file " + path + " is not version 900 or has a bad header.\n");
        XMAP_close(f);
        return;
    }

    translation_table tables[2];
    while (f.cursor < f.end) {
        int table = -1;
        if (XMAP_match_token(f, "STRING", false, 0))
            table = 0;
        else if (XMAP_match_token(f, "GENITIVE", false, 0))
            table = 1;
        if (table >= 0 && XMAP_at_blank(f))
            ++f.cursor; // the blank after the keyword; the entry may begin with blanks of its own
        std::string text = take_rest_of_line(f);
        if (table >= 0)
            read_entry(text, tables[table]);
    }

    if (row.plural_rule == 2)
        for (const auto& [english, translated] : tables[1])
            if (!tables[0].count(english))
                log_text("WARNING: language file line " + english + "====" + translated +
                         " is provided in genitive but not plural case.\n");

    {
        std::lock_guard<std::mutex> hold(shared.lock);
        shared.tables[0].swap(tables[0]);
        shared.tables[1].swap(tables[1]);
        shared.loaded = true;
        if (OPT_has("--missing_strings"))
            shared.missing_strings = true;
    }
    XMAP_close(f);
}

// Lists a text that has no translation; under the lock.
void note_missing_locked(const std::string& english) {
    if (!shared.missing_strings || !shared.missing.insert(english).second)
        return;
    if (!shared.missing_stream_tried) {
        shared.missing_stream_tried = true;
        FILE_open_ofstream(shared.missing_stream, missing_file_locked(), std::ios_base::trunc, 1);
    }
    std::string escaped = english;
    LANG_escape(escaped);
    shared.missing_stream << "STRING " << escaped << "====" << escaped << "\n";
    shared.missing_stream.flush();
}

} // namespace

int& LANG_current_language() { return main_thread.current; }

std::vector<int> LANG_available() {
    if (main_thread.available.empty())
        for (int n = 0; n < LANG_COUNT; ++n)
            main_thread.available.push_back(n);
    return main_thread.available;
}

int LANG_choose() {
    std::vector<int> available = LANG_available();
    if (available.empty())
        return -1;
    if (available.size() == 1)
        return available[0];
    if (OPT_has("--lang")) {
        std::string code = OPT_get("--lang");
        for (int n : available)
            if (code == row_of(n).code)
                return n;
    }
    int id = WIN_get_user_ui_language();
    if (id < 0)
        return -1;
    for (int n : available)
        if ((id & 0x3FF) == row_of(n).language_id)
            return n;
    return -1;
}

std::string LANG_folder_name(int n) { return row_of(n).folder; }
std::string LANG_display_name(int n) { return n >= 0 && n < LANG_COUNT ? rows[n].display_name : ""; }

void LANG_reset() {
    std::lock_guard<std::mutex> hold(shared.lock);
    reset_locked(1);
}

void LANG_load(int n) { load_from(n, row_of(n).resource_path); }

void LANG_load_file(int n, const std::string& path) { load_from(n, path); }

void LANG_load_translations() {
    if (main_thread.current != 0)
        LANG_load(main_thread.current);
    else
        LANG_reset();
}

void LANG_read_dvd_langs(const std::string& path) {
    main_thread.available.clear();
    {
        xmap_file f(path);
        while (f.base && f.cursor < f.end) {
            if (XMAP_match_token(f, "LANG", false, 0)) {
                std::string code;
                XMAP_read_word(f, &code);
                for (int n = 0; n < LANG_COUNT; ++n)
                    if (code == rows[n].code)
                        main_thread.available.push_back(n);
            }
            XMAP_read_line(f, nullptr);
        }
        XMAP_close(f);
    }
    int chosen = LANG_choose();
    if (chosen >= 0 && chosen != main_thread.current) {
        main_thread.current = chosen;
        LANG_load(chosen);
    }
}

void LANG_translate(std::string& out, const std::string& english, int table) {
    std::lock_guard<std::mutex> hold(shared.lock);
    if (!shared.loaded) {
        out = english;
        return;
    }
    const translation_table& t = shared.tables[table == 1 ? 1 : 0];
    auto found = t.find(english);
    if (found != t.end()) {
        out = found->second;
        return;
    }
    note_missing_locked(english);
    out = english;
}

void LANG_translate_count(std::string& out, int n, const std::string& singular, const std::string& plural) {
    int rule;
    bool genitive_held;
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        rule = shared.plural_rule;
        genitive_held = shared.tables[1].count(plural) != 0;
    }
    switch (rule) {
    case 0:
        LANG_translate(out, n < 2 ? singular : plural, 0);
        return;
    case 2:
        // 1, 21, 31, 101 ... take the singular; 11 and 111 do not.
        if (n % 10 == 1 && n % 100 != 11) {
            LANG_translate(out, singular, 0);
        } else if (n % 10 >= 2 && n % 10 <= 4 && !(n % 100 >= 10 && n % 100 <= 20)) {
            LANG_translate(out, plural, genitive_held ? 1 : 0);
        } else {
            LANG_translate(out, plural, 0);
        }
        return;
    default:
        LANG_translate(out, n == 1 ? singular : plural, 0);
        return;
    }
}

void LANG_substitute(std::string& out, const std::string& templ, int count, const std::string* const* args) {
    std::string text = templ;
    size_t p = 0, open, close;
    while (find_placeholder(text, p, open, close)) {
        int n = close == std::string::npos ? 0 : read_number(text, open + 1);
        if (n >= 1 && n <= count) {
            const std::string& arg = *args[n - 1];
            text.replace(open, close - open + 1, arg);
            p = open + arg.size();
        } else {
            p = open + 1;
        }
    }
    out.swap(text);
}

void LANG_subst1(std::string& out, const std::string& templ, const std::string& a1) {
    const std::string* args[] = {&a1};
    LANG_substitute(out, templ, 1, args);
}

void LANG_subst2(std::string& out, const std::string& templ, const std::string& a1, const std::string& a2) {
    const std::string* args[] = {&a1, &a2};
    LANG_substitute(out, templ, 2, args);
}

void LANG_subst3(std::string& out, const std::string& templ, const std::string& a1, const std::string& a2,
                 const std::string& a3) {
    const std::string* args[] = {&a1, &a2, &a3};
    LANG_substitute(out, templ, 3, args);
}

void LANG_subst4(std::string& out, const std::string& templ, const std::string& a1, const std::string& a2,
                 const std::string& a3, const std::string& a4) {
    const std::string* args[] = {&a1, &a2, &a3, &a4};
    LANG_substitute(out, templ, 4, args);
}

void LANG_unescape(std::string& text) {
    replace_all(text, "\\r", "\r");
    replace_all(text, "\\n", "\n");
}

void LANG_escape(std::string& text) {
    replace_all(text, "\r", "\\r");
    replace_all(text, "\n", "\\n");
}

void LANG_restart_for_test(const std::string& missing_strings_file) {
    main_thread.current = 0;
    main_thread.available.clear();
    std::lock_guard<std::mutex> hold(shared.lock);
    reset_locked(1);
    shared.missing_strings = false;
    if (shared.missing_stream.is_open())
        shared.missing_stream.close();
    shared.missing_stream.clear();
    shared.missing_stream_tried = false;
    shared.missing_file_override = missing_strings_file;
}

std::string LANG_missing_strings_file() {
    std::lock_guard<std::mutex> hold(shared.lock);
    return missing_file_locked();
}
