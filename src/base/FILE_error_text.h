// FILE_error_text: the sentence the user reads for an error code of the file, archive and network layers.
#pragma once
#include <string>

// `out` receives the text of `code`: empty for 0; the system's own codes 20001-20012 and the common errno
// values from the table; else, for a positive code, the C library's message when it knows the code; else
// "Error code <code>" (negative codes such as minizip's -105 always end here).
void FILE_error_text(std::string& out, int code);
