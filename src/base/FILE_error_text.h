// FILE_error_text: the sentence the user reads for an error code of the file, archive and network layers.
#pragma once
#include <string>

// `out` receives the text of `code`: empty for 0; the system's own codes 20001-20014, 20020-20023 (the
// answers the HTTP client refuses) and 20024 (a proxy setting it cannot use), the codes of minizip and zlib
// that an expansion returns (negative) and the common errno values from the table, translated; else, for a
// positive code, the C library's message when it knows the code (untranslated); else "Error code <code>"
// translated. Any thread.
void FILE_error_text(std::string& out, int code);
// The table's English sentence of `code` (the translator's key), or null when the table has none.
const char* FILE_error_english(int code);
