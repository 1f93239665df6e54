// WIN_language: the interface language from the locale variables.
#include "platform/WIN_language.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct locale_language {
    const char* letters;
    int language_id;
};

const locale_language languages[] = {{"en", 9},  {"fr", 12}, {"de", 7},  {"ru", 25},
                                     {"it", 16}, {"es", 10}, {"pt", 22}, {"ja", 17}};

// The locale text that decides, as gettext would read it for messages: LANGUAGE lists fallbacks
// separated by ':', of which only the first one that is not empty counts here (gettext passes over the
// empty ones, as in ":de" or "de::fr").
std::string locale_text() {
    if (const char* v = std::getenv("LANGUAGE")) {
        v += std::strspn(v, ":");
        if (*v)
            return std::string(v, std::strcspn(v, ":"));
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v)
            return v;
    }
    return std::string();
}

} // namespace

int WIN_get_user_ui_language() {
    std::string text = locale_text();
    std::string letters = text.substr(0, text.find_first_of("_.@"));
    for (char& c : letters)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    // No locale, "C" and "POSIX" (SSH logins, containers) ask for the untranslated program: English,
    // as a desktop whose interface language is English answers.
    if (letters.empty() || letters == "c" || letters == "posix")
        return 9;
    for (const locale_language& l : languages)
        if (letters == l.letters)
            return l.language_id;
    return -1; // a language the table does not know
}
