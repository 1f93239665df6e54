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

// The explanation drawn beside a question's button, which reads on from the button's label. Both buttons
// of a question may share an English explanation ("Cancel" / "Continue" "the install."), which a language
// whose verb wraps its object (German "bricht ... ab", "setzt ... fort") must word apart: the sentence
// "<label> <explanation>" is looked up first, its translation being the explanation alone; without one
// the explanation is translated by itself.
inline std::string tr_beside(const std::string& label, const std::string& explanation) {
    const std::string sentence = label + " " + explanation;
    std::string out;
    LANG_translate(out, sentence);
    return out == sentence ? tr(explanation) : out;
}

} // namespace inst_text
