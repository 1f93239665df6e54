// APP_platform_tag: the User-agent's platform text.
#include "base/APP_platform_tag.h"

#include <cstdio>
#include <sys/utsname.h>

// Reads a decimal number at `p` (saturating), moving `p` past it.
static int read_number(const char*& p) {
    int value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value > 99999 ? 999999 : value * 10 + (*p - '0');
        ++p;
    }
    return value;
}

std::string APP_format_platform_tag(const std::string& release, const std::string& machine) {
    const char* p = release.c_str();
    int major = read_number(p);
    int minor = 0;
    if (*p == '.') {
        ++p;
        minor = read_number(p);
    }
    char tag[64];
    std::snprintf(tag, sizeof tag, "IBM%d.%d_%d_%dbit", major, minor, machine == "x86_64" ? 64 : 32, 32);
    return tag;
}

const std::string& APP_platform_tag() {
    static const std::string tag = [] {
        utsname u{};
        if (uname(&u) != 0)
            return APP_format_platform_tag("", "");
        return APP_format_platform_tag(u.release, u.machine);
    }();
    return tag;
}
