// The shipped translations against the sources: every English text that the program hands to the
// translator, found by reading src/, has its STRING line in French.txt, German.txt and Russian.txt.
//
// The reader knows the translator's entries and the program's own forwarders, and the argument each takes
// as an English text:
// | call                                  | English arguments      |
// |---------------------------------------|------------------------|
// | tr, tr1, tr2, translated              | the first              |
// | LANG_translate                        | the second             |
// | LANG_translate_count                  | the third and fourth   |
// | count_text, count3                    | the second and third   |
// | tr_beside                             | the two, joined by " " |
// An argument counts when it is made of string literals (adjacent ones joined, each literal of a "?:"
// taken alone) or names a constant initialised with such literals. Other arguments (a forwarder's own
// parameter, a table's field) are texts checked where they are written.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/CMND_registry.h"
#include "base/FILE_error_text.h"
#include "base/LANG_localise.h"
#include "installer/INST_dvd_road.h"
#include "installer/INST_text.h"
#include "support/test_support.h"
#include "ui/APP_screens.h"

namespace {

namespace fs = std::filesystem;

struct token {
    enum kind_t { word, text, punct } kind;
    std::string value; // a literal's value with its escapes resolved
    int line;
};

// The value of the C++ escape at s[i] (just after the backslash); i moves past it.
char unescape_at(const std::string& s, size_t& i) {
    const char c = s[i++];
    switch (c) {
    case 'n':
        return '\n';
    case 't':
        return '\t';
    case 'r':
        return '\r';
    case '0':
        return '\0';
    default:
        return c; // \" \' \\ \?
    }
}

// Words, string literals and single punctuation characters ("::" and "->" as one), without comments,
// character literals and preprocessor lines.
std::vector<token> tokenize(const std::string& s) {
    std::vector<token> out;
    int line = 1;
    bool line_start = true;
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '\n') {
            ++line;
            line_start = true;
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (line_start && c == '#') {
            while (i < s.size() && s[i] != '\n')
                i += s[i] == '\\' && i + 1 < s.size() ? 2 : 1;
        } else if (s.compare(i, 2, "//") == 0) {
            while (i < s.size() && s[i] != '\n')
                ++i;
        } else if (s.compare(i, 2, "/*") == 0) {
            const size_t end = s.find("*/", i + 2);
            const size_t stop = end == std::string::npos ? s.size() : end + 2;
            for (; i < stop; ++i)
                line += s[i] == '\n';
        } else if (c == '"' || c == '\'') {
            std::string value;
            for (++i; i < s.size() && s[i] != c;) {
                if (s[i] == '\\')
                    value += unescape_at(s, ++i);
                else
                    value += s[i++];
            }
            ++i;
            if (c == '"')
                out.push_back({token::text, value, line});
            line_start = false;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_'))
                ++j;
            out.push_back({token::word, s.substr(i, j - i), line});
            i = j;
            line_start = false;
        } else {
            const bool two = s.compare(i, 2, "::") == 0 || s.compare(i, 2, "->") == 0;
            out.push_back({token::punct, s.substr(i, two ? 2 : 1), line});
            i += two ? 2 : 1;
            line_start = false;
        }
    }
    return out;
}

// The English texts of one argument: each run of adjacent literals, or the literals of the constant (or
// constant table) that a lone word, or a word with subscripts, names.
void argument_texts(const std::vector<token>& arg,
                    const std::map<std::string, std::vector<std::string>>& constants,
                    std::vector<std::string>& out) {
    if (!arg.empty() && arg[0].kind == token::word && (arg.size() == 1 || arg[1].value == "[")) {
        auto c = constants.find(arg[0].value);
        if (c != constants.end())
            out.insert(out.end(), c->second.begin(), c->second.end());
        return;
    }
    for (size_t i = 0; i < arg.size();) {
        if (arg[i].kind != token::text) {
            ++i;
            continue;
        }
        std::string joined;
        for (; i < arg.size() && arg[i].kind == token::text; ++i)
            joined += arg[i].value;
        out.push_back(joined);
    }
}

// Constants initialised with literals only: NAME = "..." "...";  NAME[] = "...";  NAME[2][2] = {{"..."}};
void read_constants(const std::vector<token>& t, std::map<std::string, std::vector<std::string>>& constants) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != token::word)
            continue;
        size_t j = i + 1;
        while (j < t.size() && t[j].value == "[") {
            while (j < t.size() && t[j].value != "]")
                ++j;
            ++j;
        }
        if (j + 1 >= t.size() || t[j].value != "=")
            continue;
        std::vector<std::string> texts;
        int depth = 0;
        for (++j; j < t.size() && t[j].value != ";"; ++j) {
            if (t[j].kind == token::text) {
                std::string joined;
                for (; j < t.size() && t[j].kind == token::text; ++j)
                    joined += t[j].value;
                texts.push_back(joined);
                --j;
            } else if (t[j].value == "{") {
                ++depth;
            } else if (t[j].value == "}") {
                --depth;
            } else if (t[j].value != "," || depth == 0) {
                texts.clear(); // anything but literals, braces and commas: no constant of texts
                break;
            }
        }
        if (!texts.empty())
            constants[t[i].value] = texts;
    }
}

struct source_text {
    std::string english, where;
};

// Every English text that the sources under `root` hand to the translator.
std::vector<source_text> collect_texts(const std::string& root) {
    static const std::map<std::string, std::vector<size_t>> sinks = {
        {"tr", {0}},
        {"tr1", {0}},
        {"tr2", {0}},
        {"translated", {0}},
        {"LANG_translate", {1}},
        {"LANG_translate_count", {2, 3}},
        {"count_text", {1, 2}},
        {"count3", {1, 2}},
        {"tr_beside", {}},
    };
    std::vector<std::pair<std::string, std::vector<token>>> files;
    // A file's own constants first, then those of the headers.
    std::map<std::string, std::map<std::string, std::vector<std::string>>> own;
    std::map<std::string, std::vector<std::string>> shared;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string ext = e.path().extension().string();
        if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h"))
            continue;
        const std::string name = fs::relative(e.path(), root).string();
        files.emplace_back(name, tokenize(test::read_file(e.path().string())));
        read_constants(files.back().second, ext == ".h" ? shared : own[name]);
    }

    std::vector<source_text> out;
    for (const auto& [name, t] : files) {
        std::map<std::string, std::vector<std::string>> constants = own[name];
        constants.insert(shared.begin(), shared.end());
        for (size_t i = 0; i + 1 < t.size(); ++i) {
            auto sink = sinks.find(t[i].value);
            if (t[i].kind != token::word || sink == sinks.end() || t[i + 1].value != "(")
                continue;
            if (i > 0 && (t[i - 1].value == "." || t[i - 1].value == "->"))
                continue;
            // The arguments, split at the commas of this call's own level.
            std::vector<std::vector<token>> args(1);
            int depth = 0;
            for (size_t j = i + 1; j < t.size(); ++j) {
                const std::string& v = t[j].value;
                const bool open = t[j].kind == token::punct && (v == "(" || v == "[" || v == "{");
                const bool close = t[j].kind == token::punct && (v == ")" || v == "]" || v == "}");
                if (open && depth++ == 0)
                    continue;
                if (close && --depth == 0)
                    break;
                if (depth == 1 && t[j].kind == token::punct && v == ",")
                    args.emplace_back();
                else
                    args.back().push_back(t[j]);
            }
            if (t[i].value == "tr_beside" && args.size() == 2) { // looked up as "<label> <explanation>"
                std::vector<std::string> labels, explanations;
                argument_texts(args[0], constants, labels);
                argument_texts(args[1], constants, explanations);
                for (const std::string& label : labels)
                    for (const std::string& explanation : explanations)
                        out.push_back({label + " " + explanation, name + ":" + std::to_string(t[i].line)});
                continue;
            }
            for (size_t a : sink->second) {
                if (a >= args.size())
                    continue;
                std::vector<std::string> texts;
                argument_texts(args[a], constants, texts);
                for (const std::string& english : texts)
                    out.push_back({english, name + ":" + std::to_string(t[i].line)});
            }
        }
    }
    return out;
}

// The English sides of the STRING lines of a translation file, as the loader reads them.
std::set<std::string> translated_texts(const std::string& path) {
    std::set<std::string> out;
    std::istringstream in(test::read_file(path));
    std::string line;
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 6, "STRING") != 0 || line.size() < start + 7 ||
            (line[start + 6] != ' ' && line[start + 6] != '\t'))
            continue;
        std::string entry = line.substr(start + 7);
        if (!entry.empty() && entry.back() == '\r')
            entry.pop_back();
        const size_t split = entry.find("====");
        if (split == std::string::npos || entry.size() - split - 4 < 2)
            continue; // the loader refuses it
        std::string english = entry.substr(0, split);
        LANG_unescape(english);
        out.insert(english);
    }
    return out;
}

TEST(InstTextTest, EveryTextGivenToTheTranslatorHasAFrenchGermanAndRussianEntry) {
    const std::string source = std::string(AERIVON_SOURCE_DIR);
    std::vector<source_text> texts = collect_texts(source + "/src");
    // Three tables whose rows reach the translator through a field: the screens' titles, the commands'
    // descriptions and the error sentences.
    for (int id = 991; id <= 1004; ++id)
        if (const APP_screen_entry* e = APP_screen_lookup(id); e && e->title)
            texts.push_back({e->title, "screen " + std::to_string(id)});
    for (const cmnd_row& row : CMND_builtin)
        texts.push_back({row.description, "command " + std::string(row.path)});
    for (int code = 1; code <= 20099; code = code == 300 ? 20001 : code + 1)
        if (const char* english = FILE_error_english(code))
            texts.push_back({english, "error " + std::to_string(code)});

    // The reader itself: literals joined across lines, a named constant, a plural pair, a "?:" choice.
    std::set<std::string> found;
    for (const source_text& t : texts)
        found.insert(t.english);
    EXPECT_GT(found.size(), 200u);
    for (const std::string& known :
         {std::string("Select"), std::string(INST_INSERT_DISC_ONE), std::string("Compressed File: %1:file%."),
          std::string("Please pick the scenery you would like to install now.  You can use this installer to "
                      "add more scenery or remove scenery later.  If you fly into an area with no scenery "
                      "installed, you will see only ocean.\n\nClick on the world map to pick select regions "
                      "to install."),
          std::string("%1:seconds% second"), std::string("Continue the install."),
          std::string("Are you looking for a different copy of Aerivon 10 "
                      "on your computer?")})
        EXPECT_EQ(found.count(known), 1u) << known;

    for (const char* language : {"French", "German", "Russian"}) {
        SCOPED_TRACE(language);
        const std::set<std::string> have =
            translated_texts(source + "/resources/text/" + std::string(language) + ".txt");
        std::set<std::string> reported;
        for (const source_text& t : texts) {
            if (have.count(t.english) || !reported.insert(t.english).second)
                continue;
            std::string escaped = t.english;
            LANG_escape(escaped);
            ADD_FAILURE() << t.where << ": no " << language << " entry for\nSTRING " << escaped << "====";
        }
    }

    // The installer goes by one name in each language («programme d'installation», «программа
    // установки»): the other word («установщик») stands in no translation.
    const std::pair<const char*, const char*> other_names[] = {
        {"French", "installateur"},
        {"Russian", "\xD1\x83\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD1\x89\xD0\xB8\xD0\xBA"}};
    for (const auto& [language, other] : other_names) {
        std::istringstream in(test::read_file(source + "/resources/text/" + language + ".txt"));
        for (std::string line; std::getline(in, line);) {
            const size_t split = line.find("====");
            EXPECT_TRUE(split == std::string::npos || line.find(other, split) == std::string::npos)
                << language << ": " << line;
        }
    }
}

// The two-button questions draw each explanation right of its button, so that the two read as one
// sentence: in German the label must be able to start it, and an English explanation shared by both
// buttons is worded for each.
TEST(InstTextTest, GermanButtonExplanationsReadOnFromTheirLabel) {
    LANG_load(2);
    struct row {
        const char *label, *explanation, *german;
    } rows[] = {
        {"Cancel", "the demo installation and delete partial installation.",
         "Abbrechen bricht die Demo-Installation ab und l\xC3\xB6scht die teilweise installierte Kopie."},
        {"Continue", "the demo installation process.", "Fortsetzen setzt die Demo-Installation fort."},
        {"Cancel", "the installation and delete partial installation.",
         "Abbrechen bricht die Installation ab und l\xC3\xB6scht die teilweise installierte Kopie."},
        {"Continue", "the installation process.", "Fortsetzen setzt die Installation fort."},
        {"Stop", "the update.", "Anhalten h\xC3\xA4lt die Aktualisierung an."},
        {"Continue", "the update process.", "Fortsetzen setzt die Aktualisierung fort."},
        {"Cancel", "the install.", "Abbrechen bricht die Installation ab."},
        {"Continue", "the install.", "Fortsetzen setzt die Installation fort."},
        {"Stop", "the scenery install.", "Anhalten h\xC3\xA4lt die Installation der Szenerie an."},
        {"Continue", "the scenery install.", "Fortsetzen setzt die Installation der Szenerie fort."},
    };
    for (const row& r : rows)
        EXPECT_EQ(inst_text::tr(r.label) + " " + inst_text::tr_beside(r.label, r.explanation), r.german)
            << r.label << " " << r.explanation;
    LANG_reset();
}

} // namespace
