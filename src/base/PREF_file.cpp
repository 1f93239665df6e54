// PREF_file: preferences files and the installer's preference set.
#include "base/PREF_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "base/FILE_ops.h"
#include "base/OPT_options.h"
#include "base/http.h"
#include "base/xmap.h"

installer_prefs PREF_installer;

void PREF_open(pref_file& f, const std::string& path, int mode, int mark_unsafe) {
    f.mode = mode;
    f.unsafe = 0;
    f.values.clear();
    if (mode == 1) {
        ouf_open(f.writer, path, XMAP_TYPE_TEXT, 10, "no-copyright-string");
        return;
    }
    {
        xmap_file file(path);
        static const int versions[] = {10, 0};
        if (check_file(file, XMAP_TYPE_TEXT, versions, nullptr, nullptr) != 0) {
            while (file.cursor && file.cursor < file.end) {
                const char* before = file.cursor;
                std::string word;
                XMAP_read_word(file, &word);
                if (word == "UNSAFE" || word == "AUTO_UPDATE") {
                    f.unsafe = word == "UNSAFE" ? 1 : 0;
                    XMAP_read_line(file, nullptr);
                } else if (!word.empty()) {
                    std::string value;
                    XMAP_read_line(file, &value);
                    f.values[word] = value;
                } else {
                    // An empty word (a NUL byte where a key belongs): the whole line is skipped.
                    while (file.cursor < file.end && *file.cursor != '\n' && *file.cursor != '\r')
                        ++file.cursor;
                    XMAP_read_line(file, nullptr);
                }
                if (file.cursor == before)
                    ++file.cursor; // the reader always moves on
            }
        }
        XMAP_close(file);
    }
    if (mark_unsafe) {
        std::string absolute = path;
        FILE_make_absolute(absolute);
        if (FILE* out = FILE_fopen_utf8(absolute, "a")) {
            std::fputs("UNSAFE\n", out);
            std::fclose(out);
        }
    }
}

bool PREF_string(pref_file& f, std::string& value, const std::string& key) {
    if (f.mode == 1) {
        if (!value.empty()) {
            std::string line = value;
            for (char& ch : line)
                if (ch == '\r' || ch == '\n')
                    ch = ' '; // a line break in a value would read back as keys of its own
            f.writer << key << " " << line << "\n";
        }
        return false;
    }
    const std::string option = "--pref:" + key;
    if (OPT_has(option)) {
        value = OPT_get(option);
        return true;
    }
    auto found = f.values.find(key);
    if (found == f.values.end())
        return false;
    value = found->second;
    return true;
}

bool PREF_int(pref_file& f, int& value, const std::string& key) {
    if (f.mode == 1) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", value);
        f.writer << key << " " << text << "\n";
        return false;
    }
    std::string text;
    if (!PREF_string(f, text, key))
        return false;
    long long number = std::strtoll(text.c_str(), nullptr, 10); // saturates; no number gives 0
    value = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
    return true;
}

void PREF_close(pref_file& f) {
    if (f.mode == 1 && f.writer.is_open()) {
        f.writer.flush();
        f.writer.close();
    }
    f.values.clear();
}

void PREF_load_save(int set, int write) {
    if (set != 11)
        return;
    std::string path;
    FILE_get_special_folder(5, path);
    path += "Aerivon Installer.prf";
    pref_file f;
    PREF_open(f, path, write ? 1 : 0, 0);
    http_manager& http = HTTP_manager();
    PREF_string(f, PREF_installer.messages[0], "_message_1");
    PREF_string(f, PREF_installer.messages[1], "_message_2");
    PREF_string(f, PREF_installer.messages[2], "_message_3");
    PREF_string(f, PREF_installer.messages[3], "_message_4");
    PREF_int(f, PREF_installer.stream_count, "_stream_count");
    PREF_int(f, PREF_installer.log_actions, "_log_actions");
    PREF_string(f, http.proxy_host, "_proxy_host");
    PREF_string(f, http.proxy_port, "_proxy_port");
    PREF_int(f, http.port, "_proxy_port_int");
    PREF_int(f, PREF_installer.get_beta, "_get_beta");
    PREF_close(f);
}
