// LANG_localise: the language table, translation tables and placeholder substitution.
#pragma once
#include <string>

// out = the translation of the English text in table 0 (STRING) or 1 (GENITIVE); the English text itself
// when no translation is loaded or the text has none.
void LANG_translate(std::string& out, const std::string& english, int table = 0);
