// STR_utf: UTF-8 <-> UTF-16 conversion, one code point at a time and whole strings.
#pragma once
#include <string>

// Decodes one code point at `p`; returns the pointer after the sequence.
const char* STR_utf8_decode(const char* p, unsigned int* code_point);
// Writes the code point as UTF-8 into `out` (at least 4 bytes); returns the bytes written (0 above 0x10FFFF).
int STR_utf8_encode(unsigned int code_point, char* out);
void STR_utf16_to_utf8(const std::u16string& in, std::string& out);
void STR_utf8_to_utf16(const std::string& in, std::u16string& out);
