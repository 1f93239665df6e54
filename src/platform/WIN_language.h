// WIN_language: the user's interface language, where Windows answers GetUserDefaultUILanguage.
#pragma once

// The primary language id of the user's interface language (9 English, 12 French, 7 German, 25 Russian,
// 16 Italian, 10 Spanish, 22 Portuguese, 17 Japanese), or -1 when it is missing: taken from the first
// non-empty of LANGUAGE (its first non-empty ':'-separated entry), LC_ALL, LC_MESSAGES and LANG, by the
// letters before '_', '.' or '@'. None of them set, "C" and "POSIX" mean the untranslated program: 9
// (English). A language outside that list is missing. Any thread (reads the environment only).
int WIN_get_user_ui_language();
