// OPT_options: the command-line option store.
#include "base/OPT_options.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

// Written once by OPT_parse on the main thread before any other thread starts; read-only afterwards.
std::map<std::string, std::string> OPT_store;

void OPT_parse_only(const char* text) {
    OPT_store.clear();
    const char* p = text ? text : "";
    auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (*p) {
        while (*p && blank(*p))
            ++p;
        if (!*p)
            break;
        const char* k = p;
        while (*p && !blank(*p) && *p != '=')
            ++p;
        std::string key(k, p);
        std::string value;
        bool ended = false;
        if (*p == '=') {
            ++p;
            if (*p == '"') {
                ++p;
                const char* v = p;
                while (*p && *p != '"')
                    ++p;
                value.assign(v, p);
                if (*p == '"')
                    ++p;
                else
                    ended = true;
            } else {
                const char* v = p;
                while (*p && !blank(*p))
                    ++p;
                value.assign(v, p);
            }
        }
        if (!key.empty())
            OPT_store[key] = value;
        if (ended)
            break;
    }
}

void OPT_parse(const char* text) {
    OPT_parse_only(text);
    OPT_early_commands();
}

void OPT_early_commands() {
    if (OPT_has("--version")) {
        std::printf("Aerivon Demo Installer 3.22r1\n");
        std::exit(0);
    }
}

bool OPT_has(const std::string& key) { return OPT_store.count(key) != 0; }

std::string OPT_get(const std::string& key) {
    auto it = OPT_store.find(key);
    return it == OPT_store.end() ? std::string() : it->second;
}

void OPT_apply_drefs() {}

bool OPT_is_test_run() { return OPT_has("--fps_test") || OPT_has("--qa_script"); }

bool OPT_is_crash_report() { return OPT_has("--report_crash") || OPT_has("--send_report"); }

const char* OPT_usage_text() { return "Usage: Aerivon [options...]\n\n"; }
