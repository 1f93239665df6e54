// INST_format: texts and numbers for the installing pages.
#include "installer/INST_format.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "base/LANG_localise.h"
#include "base/http.h"
#include "installer/INST_download.h"
#include "installer/INST_text.h"

namespace {

// "%.<decimals>f <unit>" of value.
std::string fixed_text(double value, int decimals, const std::string& unit) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f %s", decimals, value, unit.c_str());
    return buf;
}

// The translated singular or plural form of `n` with its number filled in.
std::string count_text(int n, const char* singular, const char* plural) {
    std::string out;
    LANG_translate_count(out, n, singular, plural);
    LANG_subst1(out, out, INST_int_to_string(n));
    return out;
}

// The most time left the pages show: 9,999 hours.
constexpr double max_seconds_left = 9999.0 * 3600.0;

} // namespace

std::string INST_int_to_string(int n) { return std::to_string(n); }

std::string INST_format_size_kb(float kb) {
    if (kb > 1024000.0f)
        return fixed_text(static_cast<double>(kb) / 1048576.0, 1, inst_text::tr("GB"));
    if (kb > 1024.0f)
        return fixed_text(static_cast<double>(kb) / 1024.0, 0, inst_text::tr("MB"));
    return fixed_text(static_cast<double>(kb), 0, inst_text::tr("KB"));
}

std::string INST_format_rate(float kb_per_second) {
    const double rate = kb_per_second;
    int n = 0;
    if (std::isnan(rate) || rate <= 0.0)
        n = 0;
    else if (rate >= static_cast<double>(INT_MAX))
        n = INT_MAX;
    else
        n = static_cast<int>(rate);
    return count_text(n, "%1:rate% kilobyte/second", "%1:rate% kilobytes/second");
}

std::string INST_format_time_left(float seconds) {
    double s = seconds;
    if (std::isnan(s) || s > max_seconds_left)
        s = max_seconds_left;
    else if (s < 0.0)
        s = 0.0;
    if (s < 120.0)
        return count_text(static_cast<int>(s), "%1:seconds% second", "%1:seconds% seconds");
    if (s < 7200.0)
        return count_text(static_cast<int>(s / 60.0), "%1:minutes% minute", "%1:minutes% minutes");
    return count_text(static_cast<int>(s / 3600.0), "%1:hours% hour", "%1:hours% hours");
}

float INST_download_percent(int key) {
    // Read under the lock of the transfers in flight, which the client's I/O thread moves on.
    return HTTP_key_percent(key);
}

std::string INST_slot_status_text(int i) {
    if (i < 0 || static_cast<size_t>(i) >= INST_dispenser.slots.size())
        return "";
    return INST_dispenser.slots[static_cast<size_t>(i)].status_text;
}
