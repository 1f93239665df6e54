// STR_utf: UTF-8 <-> UTF-16 conversion, one code point at a time and whole strings.
#include "base/STR_utf.h"

namespace {

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

} // namespace

// Continuation bytes are taken without checking their top bits (a damaged sequence still yields one code
// point), but a NUL ends the input: a sequence cut short by it gives 0 and the returned pointer rests on
// the NUL, so walkers never run past the terminator.
const char* STR_utf8_decode(const char* p, unsigned int* code_point) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(p);
    unsigned char lead = s[0];
    int extra;
    unsigned int cp;
    if (lead < 0x80) {
        *code_point = lead;
        return p + 1;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        *code_point = 0;
        return p + 1;
    }
    for (int i = 1; i <= extra; ++i) {
        if (s[i] == 0) {
            *code_point = 0;
            return p + i;
        }
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    *code_point = cp;
    return p + 1 + extra;
}

int STR_utf8_encode(unsigned int code_point, char* out) {
    unsigned char* o = reinterpret_cast<unsigned char*>(out);
    if (code_point < 0x80) {
        o[0] = static_cast<unsigned char>(code_point);
        return 1;
    }
    if (code_point < 0x800) {
        o[0] = static_cast<unsigned char>(0xC0 | (code_point >> 6));
        o[1] = static_cast<unsigned char>(0x80 | (code_point & 0x3F));
        return 2;
    }
    if (code_point < 0x10000) {
        o[0] = static_cast<unsigned char>(0xE0 | (code_point >> 12));
        o[1] = static_cast<unsigned char>(0x80 | ((code_point >> 6) & 0x3F));
        o[2] = static_cast<unsigned char>(0x80 | (code_point & 0x3F));
        return 3;
    }
    if (code_point <= 0x10FFFF) {
        o[0] = static_cast<unsigned char>(0xF0 | (code_point >> 18));
        o[1] = static_cast<unsigned char>(0x80 | ((code_point >> 12) & 0x3F));
        o[2] = static_cast<unsigned char>(0x80 | ((code_point >> 6) & 0x3F));
        o[3] = static_cast<unsigned char>(0x80 | (code_point & 0x3F));
        return 4;
    }
    return 0;
}

// A high surrogate pairs with whatever unit follows it; one that ends the input is encoded as itself.
void STR_utf16_to_utf8(const std::u16string& in, std::string& out) {
    std::string result;
    result.reserve(in.size());
    char buf[4];
    for (size_t i = 0; i < in.size(); ++i) {
        unsigned int cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size()) {
            cp = 0x10000 + ((cp & 0x3FF) << 10) + (in[i + 1] & 0x3FFu);
            ++i;
        }
        result.append(buf, static_cast<size_t>(STR_utf8_encode(cp, buf)));
    }
    out.swap(result);
}

// After each code point the scan goes on at the next byte that is not a continuation byte, whatever the
// lead byte promised, so it resynchronises after damaged sequences. The string's own terminator stops a
// sequence cut at the end.
void STR_utf8_to_utf16(const std::string& in, std::u16string& out) {
    std::u16string result;
    result.reserve(in.size());
    const char* data = in.c_str();
    size_t size = in.size();
    size_t i = 0;
    while (i < size) {
        unsigned int cp;
        STR_utf8_decode(data + i, &cp);
        if (cp > 0xFFFF) {
            result.push_back(static_cast<char16_t>(0xD800 | (((cp - 0x10000) >> 10) & 0x3FF)));
            result.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(cp));
        }
        ++i;
        while (i < size && is_continuation(static_cast<unsigned char>(data[i])))
            ++i;
    }
    out.swap(result);
}
