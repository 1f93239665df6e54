// INST_text: the translated texts of the installer's pages, with their numbered arguments put in.
#pragma once
#include <string>

#include "base/LANG_localise.h"

namespace inst_text {

// The translation of an English text (table 0).
inline std::string tr(const std::string& english) {
    std::string out;
    LANG_translate(out, english);
    return out;
}
// The translation with %1:...% replaced by a1.
inline std::string tr1(const std::string& english, const std::string& a1) {
    std::string out;
    LANG_subst1(out, tr(english), a1);
    return out;
}
// The translation with %1:...% and %2:...% replaced by a1 and a2.
inline std::string tr2(const std::string& english, const std::string& a1, const std::string& a2) {
    std::string out;
    LANG_subst2(out, tr(english), a1, a2);
    return out;
}

} // namespace inst_text
