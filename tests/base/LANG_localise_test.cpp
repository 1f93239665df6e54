// Localisation: loading translation files, look-up, plural forms, substitution, the language choice and
// the list of untranslated texts; the label splitter it uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "base/BTN_split_label.h"
#include "base/CMND_registry.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "support/test_support.h"

namespace {

const char* const kHeader = "I\n900 version\nTRANSLATION\n";

// English at the start, the log stream on a file, the untranslated list in the temporary folder.
class LangTest : public testing::Test {
  protected:
    void SetUp() override {
        OPT_parse_only("");
        LANG_restart_for_test(missing_file());
        log_path_ = dir_.file("log.txt");
        FILE_open_ofstream(LOG_stream, log_path_, std::ios_base::trunc, 1);
        ASSERT_TRUE(LOG_stream.good());
    }
    void TearDown() override {
        LOG_stream.close();
        LOG_stream.clear();
        OPT_parse_only("");
        LANG_restart_for_test(missing_file());
    }
    // The log written since the last call.
    std::string take_log() {
        LOG_stream.flush();
        std::string all = test::read_file(log_path_);
        std::string fresh = all.substr(log_seen_);
        log_seen_ = all.size();
        return fresh;
    }
    // Writes `body` as a translation file and loads it as language `n`; returns the log it wrote.
    std::string load(int n, const std::string& body, const std::string& name = "fixture.txt") {
        test::write_file(dir_.file(name), body);
        take_log();
        LANG_load_file(n, dir_.file(name));
        return take_log();
    }
    std::string missing_file() const { return dir_.file("Untranslated Strings.txt"); }

    test::TempDir dir_;
    std::string log_path_;
    size_t log_seen_ = 0;
};

std::string tr(const std::string& english, int table = 0) {
    std::string out;
    LANG_translate(out, english, table);
    return out;
}

std::string count(int n, const std::string& singular, const std::string& plural) {
    std::string out;
    LANG_translate_count(out, n, singular, plural);
    return out;
}

TEST_F(LangTest, LoadingLogsEveryProblemOfTheFileAndStoresTheGoodLines) {
    std::string body = std::string(kHeader) + "STRING Open====Ouvrir\n"
                                              "GENITIVE Files====fichiers\n"
                                              "  STRING\tSave====Enregistrer\r\n"
                                              "STRING No splitter here\n"
                                              "STRING Empty====\n"
                                              "STRING One====x\n"
                                              "STRING Line\\nbreak====Ligne\\nsaut\n"
                                              "STRING Copy %1:file% to %2:dest%====Copier %1:file%\n"
                                              "STRING Big %99999999999:n%====Grand %99999999999:n%\n"
                                              "STRING Bad \xFF byte====Mauvais \xFF octet\n"
                                              "STRING Left|Right{Tip====Gauche|Droite\n"
                                              "STRING  Lead====T\xC3\xAAte\n"
                                              "STRING Trail ====Queue\n"
                                              "STRING Open====Ouvrir encore\n"
                                              "STRING Line\\nbreak====Autre\n"
                                              "COMMENT STRING Skipped====Saut\xC3\xA9\n"
                                              "STRINGS Skipped====Saut\xC3\xA9\n"
                                              "STRING\n"
                                              "STRING Last====Dernier";
    const std::string e = "ERROR: language file line '";
    EXPECT_EQ(load(1, body),
              " ==== CHANGING LANGUAGE TO: Fran\xC3\xA7"
              "ais. ====\n" +
                  e + "No splitter here' missing ==== splitter.\n" + e +
                  "Empty====' missing right side translation.\n" + e +
                  "One====x' missing right side translation.\n" + e +
                  "Copy %1:file% to %2:dest%====Copier %1:file%' has incorrect translated parameters.\n" + e +
                  "Bad \xFF byte====Mauvais \xFF octet' contains invalid UTF8 characters.\n" + e +
                  "Left|Right{Tip====Gauche|Droite' does not have its help tips correctly formatted.\n" + e +
                  " Lead====T\xC3\xAAte' does not have the same leading spaces.\n" + e +
                  "Trail ====Queue' does not have the same trailing spaces.\n" + e +
                  "Open====Ouvrir encore' is a second translation of Open====Ouvrir\n" + e +
                  "Line\\nbreak====Autre' is a second translation of Line\nbreak====Ligne\nsaut\n");

    const std::map<std::string, std::string> stored = {
        {"Open", "Ouvrir"},
        {"Save", "Enregistrer"},
        {"Line\nbreak", "Ligne\nsaut"},
        {"Copy %1:file% to %2:dest%", "Copier %1:file%"},
        {"Big %99999999999:n%", "Grand %99999999999:n%"},
        {"Left|Right{Tip", "Gauche|Droite"},
        {" Lead", "T\xC3\xAAte"},
        {"Trail ", "Queue"},
        {"Last", "Dernier"},
        {"No splitter here", "No splitter here"},
        {"Empty", "Empty"},
        {"One", "One"},
        {"Skipped", "Skipped"},
        {"Files", "Files"}, // a GENITIVE line fills table 1 only
    };
    for (const auto& [english, translated] : stored) {
        SCOPED_TRACE(english);
        EXPECT_EQ(tr(english), translated);
    }
    EXPECT_EQ(tr("Files", 1), "fichiers");
    EXPECT_EQ(tr("Open", 1), "Open");
}

TEST_F(LangTest, GenitiveWithoutPluralIsWarnedOnlyUnderTheThirdRule) {
    std::string body = std::string(kHeader) + "STRING %1:n% days====%1:n% дней\n"
                                              "GENITIVE %1:n% days====%1:n% дня\n"
                                              "GENITIVE %1:n% hours====%1:n% часа\n"
                                              "GENITIVE %1:n% weeks====%1:n% недели\n";
    EXPECT_EQ(load(3, body),
              " ==== CHANGING LANGUAGE TO: Русский. ====\n"
              "WARNING: language file line %1:n% hours====%1:n% часа is provided in genitive but "
              "not plural case.\n"
              "WARNING: language file line %1:n% weeks====%1:n% недели is provided in genitive but "
              "not plural case.\n");
    EXPECT_EQ(load(2, body), " ==== CHANGING LANGUAGE TO: Deutsch. ====\n");
}

TEST_F(LangTest, AMissingFileOrABadHeaderLeavesEnglish) {
    ASSERT_EQ(load(1, std::string(kHeader) + "STRING Open====Ouvrir\n"),
              " ==== CHANGING LANGUAGE TO: Fran\xC3\xA7"
              "ais. ====\n");
    ASSERT_EQ(tr("Open"), "Ouvrir");

    const std::string absent = dir_.file("absent.txt");
    LANG_load_file(2, absent);
    EXPECT_EQ(take_log(), " ==== CHANGING LANGUAGE TO: Deutsch. ====\nCould not find translation file: " +
                              absent + "; using English.\n");
    EXPECT_EQ(tr("Open"), "Open");

    LANG_load(0);
    EXPECT_EQ(take_log(),
              " ==== CHANGING LANGUAGE TO: English. ====\nCould not find translation file: ; using "
              "English.\n");

    const char* bad[] = {"I\n901 version\nTRANSLATION\n", "I\n900 version\nTRANSLATIONS\n",
                         "X\n900 version\nTRANSLATION\n", "I\n900 version\nSTRING Open====Ouvrir\n"};
    for (const char* header : bad) {
        SCOPED_TRACE(header);
        load(1, std::string(kHeader) + "STRING Open====Ouvrir\n");
        ASSERT_EQ(tr("Open"), "Ouvrir");
        EXPECT_EQ(load(1, std::string(header) + "STRING Open====Ouvrir\n", "bad.txt"),
                  " ==== CHANGING LANGUAGE TO: Fran\xC3\xA7"
                  "ais. ====\nTranslation file " +
                      dir_.file("bad.txt") + " is not version 900 or has a bad header.\n");
        EXPECT_EQ(tr("Open"), "Open");
    }
}

TEST_F(LangTest, LoadTranslationsLoadsTheCurrentLanguageOrEmptiesTheTables) {
    load(1, std::string(kHeader) + "STRING Open====Ouvrir\n");
    ASSERT_EQ(tr("Open"), "Ouvrir");
    LANG_load_translations(); // English current: the tables are emptied, nothing is logged
    EXPECT_EQ(take_log(), "");
    EXPECT_EQ(tr("Open"), "Open");

    LANG_current_language() = 4;
    LANG_load_translations();
    EXPECT_EQ(take_log().rfind(" ==== CHANGING LANGUAGE TO: Italiano. ====\n", 0), 0u);
}

TEST_F(LangTest, PluralFormsFollowEachLanguagesRule) {
    const std::string one = "%1:n% file", many = "%1:n% files";
    std::string body = std::string(kHeader) + "STRING %1:n% file====%1:n% S\n"
                                              "STRING %1:n% files====%1:n% P\n"
                                              "GENITIVE %1:n% files====%1:n% G\n";
    struct Case {
        int row; // 1 French (rule 0), 2 German (rule 1), 3 Russian (rule 2)
        int n;
        const char* form;
    } cases[] = {
        {1, 0, "S"},   {1, 1, "S"},    {1, 2, "P"},    {1, -1, "S"},  {2, 0, "P"},   {2, 1, "S"},
        {2, 2, "P"},   {2, 3, "P"},    {3, 1, "S"},    {3, 3, "G"},   {3, 12, "P"},  {3, 22, "G"},
        {3, 25, "P"},  {3, 0, "P"},    {3, 11, "P"},   {3, 104, "G"}, {3, 111, "P"}, {3, 114, "P"},
        {3, 21, "S"},  {3, 44, "G"},   {3, -3, "P"},   {3, 2, "G"},   {3, 5, "P"},   {3, 31, "S"},
        {3, 101, "S"}, {3, 1011, "P"}, {3, 1021, "S"},
    };
    int loaded_row = -1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << " n " << c.n);
        if (c.row != loaded_row)
            load(loaded_row = c.row, body);
        EXPECT_EQ(count(c.n, one, many), std::string("%1:n% ") + c.form);
    }

    // Without the genitive form, rule 2 falls back to the plural of table 0.
    load(3, std::string(kHeader) + "STRING %1:n% file====%1:n% S\nSTRING %1:n% files====%1:n% P\n");
    for (int n : {3, 22})
        EXPECT_EQ(count(n, one, many), "%1:n% P") << n;

    // English: rule 1, untranslated.
    load(0, "");
    EXPECT_EQ(count(1, one, many), one);
    EXPECT_EQ(count(0, one, many), many);
}

TEST_F(LangTest, PlaceholdersAreFilledOnceFromLeftToRight) {
    const std::string a = "a.7z", b = "B", c = "C", d = "D";
    struct Case {
        const char* templ;
        int count;
        const char* expected;
    } cases[] = {
        {"Compressed File: %1:file%.", 1, "Compressed File: a.7z."},
        {"\n\nDownloading at %1:rate% from %2:server%.", 2, "\n\nDownloading at a.7z from B."},
        {"%2:b%-%1:a%-%2:b%", 2, "B-a.7z-B"},
        {"%4:d% %3:c% %2:b% %1:a%", 4, "D C B a.7z"},
        {"%3:c% and %1:a%", 3, "C and a.7z"},
        {"100% sure", 1, "100% sure"},
        {"50% off: now", 1, "50% off: now"},
        {"%0:zero% stays", 1, "%0:zero% stays"},
        {"%3:c% beyond", 2, "%3:c% beyond"},
        {"%x:label% no number", 1, "%x:label% no number"},
        {"% +1:signed%", 1, "a.7z"},
        {"%-1:negative%", 1, "%-1:negative%"},
        {"Up %1 of %2:total%", 2, "Up a.7z"},
        {"%99999999999:x%", 4, "%99999999999:x%"},
        {"%2147483648:x% %1:a%", 4, "%2147483648:x% a.7z"},
        {"%-99999999999:x%", 4, "%-99999999999:x%"},
        {"%%1:a%", 1, "%a.7z"},
        {"", 1, ""},
    };
    const std::string* args[] = {&a, &b, &c, &d};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.templ);
        std::string out = "old";
        LANG_substitute(out, k.templ, k.count, args);
        EXPECT_EQ(out, k.expected);
    }

    std::string out;
    LANG_subst1(out, "Compressed File: %1:file%.", "a.7z");
    EXPECT_EQ(out, "Compressed File: a.7z.");
    LANG_subst2(out, "%1:a% and %2:b%", "%2:b%", "X"); // an argument is never expanded again
    EXPECT_EQ(out, "%2:b% and X");
    LANG_subst3(out, "%3:c%%2:b%%1:a%", "1", "2", "3");
    EXPECT_EQ(out, "321");
    LANG_subst4(out, "%4:d%", "1", "2", "3", "4");
    EXPECT_EQ(out, "4");
    std::string same = "[%1:self%]";
    LANG_subst1(same, same, same);
    EXPECT_EQ(same, "[[%1:self%]]");
}

TEST_F(LangTest, EscapesTurnIntoLineEndsAndBack) {
    struct Case {
        const char* escaped;
        const char* plain;
    } cases[] = {
        {"a\\r\\nb", "a\r\nb"}, {"\\n\\n", "\n\n"}, {"no escapes", "no escapes"},
        {"tab\\t", "tab\\t"},   {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.escaped);
        std::string text = c.escaped;
        LANG_unescape(text);
        EXPECT_EQ(text, c.plain);
        LANG_escape(text);
        EXPECT_EQ(text, c.escaped);
    }
    std::string text = "\\\\rn"; // "\r" goes first, so the "\n" it leaves behind is not a second escape
    LANG_unescape(text);
    EXPECT_EQ(text, "\\\rn");
}

TEST_F(LangTest, TheTableNamesEightLanguages) {
    const char* folders[] = {"English/", "French/",  "German/",     "Russian/",
                             "Italian/", "Spanish/", "Portuguese/", "Japanese/"};
    const char* names[] = {"|English",
                           "|Fran\xC3\xA7"
                           "ais",
                           "|Deutsch",
                           "|Русский",
                           "|Italiano",
                           "|Espa\xC3\xB1ol",
                           "|Portugu\xC3\xAAs",
                           "|日本語"};
    for (int n = 0; n < LANG_COUNT; ++n) {
        EXPECT_EQ(LANG_folder_name(n), folders[n]);
        EXPECT_EQ(LANG_display_name(n), names[n]);
    }
    EXPECT_EQ(LANG_folder_name(8), "");
    EXPECT_EQ(LANG_display_name(-1), "");
    EXPECT_EQ(LANG_available(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    LANG_load(9); // a number outside the table has no file
    EXPECT_EQ(take_log(),
              " ==== CHANGING LANGUAGE TO: . ====\nCould not find translation file: ; using English.\n");
}

// The locale variables that decide the interface language, each set or removed for one case.
struct Locale {
    std::optional<std::string> language, lc_all, lc_messages, lang;
};

class ScopedLocale {
  public:
    explicit ScopedLocale(const Locale& l)
        : a_("LANGUAGE", l.language), b_("LC_ALL", l.lc_all), c_("LC_MESSAGES", l.lc_messages),
          d_("LANG", l.lang) {}

  private:
    test::ScopedEnv a_, b_, c_, d_;
};

TEST_F(LangTest, ChoiceComesFromTheLangOptionThenTheLocale) {
    const std::nullopt_t unset = std::nullopt;
    struct Case {
        Locale locale;
        const char* options;
        int expected;
    } cases[] = {
        {{unset, unset, unset, "de_DE.UTF-8"}, "", 2},
        {{"ru:en", unset, unset, "en_US.UTF-8"}, "", 3},
        {{unset, unset, unset, "de_DE.UTF-8"}, "--lang=ru", 3},
        {{unset, "C", unset, unset}, "", 0}, // no locale, "C" and "POSIX": the untranslated program
        {{unset, unset, unset, unset}, "", 0},
        {{"", "", "", ""}, "", 0},
        {{unset, unset, "fr_FR.UTF-8", "de_DE.UTF-8"}, "", 1},
        {{unset, "ja_JP.UTF-8", "fr_FR", "de_DE"}, "", 7},
        {{"", unset, unset, "pt_BR.UTF-8"}, "", 6},
        // LANGUAGE's empty entries are passed over, as gettext does.
        {{":de", unset, unset, "es_ES.UTF-8"}, "", 2},
        {{":de", unset, unset, unset}, "", 2},
        {{"de:", unset, unset, unset}, "", 2},
        {{"::fr:de", unset, unset, "C.UTF-8"}, "", 1},
        {{":", unset, unset, "pt_BR.UTF-8"}, "", 6},
        {{"::", unset, unset, unset}, "", 0},
        {{unset, unset, unset, "it_IT@euro"}, "", 4},
        {{unset, unset, unset, "en"}, "", 0},
        {{unset, unset, unset, "POSIX"}, "", 0},
        {{unset, unset, unset, "C.UTF-8"}, "", 0},
        {{unset, unset, "", "c.utf8"}, "", 0},
        {{unset, unset, unset, "sv_SE.UTF-8"}, "", -1}, // a language with no translation: the chooser
        {{unset, unset, unset, "xx_YY"}, "", -1},
        {{unset, unset, "xx_YY.UTF-8", "C.UTF-8"}, "", -1},
        {{unset, "C", unset, "de_DE.UTF-8"}, "", 0},
        {{"fr", "C.UTF-8", unset, unset}, "", 1},
        {{unset, unset, unset, unset}, "--lang=RU", 0},
        {{unset, unset, unset, "es_ES.UTF-8"}, "--lang=xx", 5},
        {{unset, unset, unset, unset}, "--lang=ja", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.locale.language.value_or("-") << " " << c.locale.lc_all.value_or("-") << " "
                     << c.locale.lc_messages.value_or("-") << " " << c.locale.lang.value_or("-") << " "
                     << c.options);
        ScopedLocale locale(c.locale);
        OPT_parse_only(c.options);
        EXPECT_EQ(LANG_choose(), c.expected);
    }
}

TEST_F(LangTest, DiscLanguagesNarrowTheChoice) {
    ScopedLocale locale({std::nullopt, std::nullopt, std::nullopt, "ja_JP.UTF-8"});
    const std::string dvd = dir_.file("dvd_version.txt");

    // Two languages on the disc; the locale picks the second, which becomes current and is loaded.
    test::write_file(dvd, "I\n1000 version\nDVD\nVERSION 10.50\n  LANG\tde\nLANG xx\nLANGUAGE fr\nLANGS it\n"
                          "LANG\nLANG ja extra words\r\n");
    take_log();
    LANG_read_dvd_langs(dvd);
    EXPECT_EQ(LANG_available(), (std::vector<int>{2, 7}));
    EXPECT_EQ(LANG_current_language(), 7);
    EXPECT_EQ(take_log(), " ==== CHANGING LANGUAGE TO: 日本語. ====\nCould not find translation file: "
                          "RESOURCE:Japanese.txt; using English.\n");

    // The same choice again: nothing is loaded.
    LANG_read_dvd_langs(dvd);
    EXPECT_EQ(take_log(), "");

    // "--lang" names a language the disc does not carry: the locale decides; with no match, nothing changes.
    test::write_file(dvd, "LANG de\nLANG ru\n");
    OPT_parse_only("--lang=fr");
    LANG_read_dvd_langs(dvd);
    EXPECT_EQ(LANG_available(), (std::vector<int>{2, 3}));
    EXPECT_EQ(LANG_current_language(), 7);
    EXPECT_EQ(take_log(), "");

    // A single language is taken whatever the locale says.
    test::write_file(dvd, "LANG ru\n");
    LANG_read_dvd_langs(dvd);
    EXPECT_EQ(LANG_current_language(), 3);
    EXPECT_EQ(take_log().rfind(" ==== CHANGING LANGUAGE TO: Русский. ====\n", 0), 0u);

    // No file: the list is empty, so every language is available again.
    OPT_parse_only("");
    LANG_read_dvd_langs(dir_.file("absent.txt"));
    EXPECT_EQ(LANG_available(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(LANG_current_language(), 7);
}

TEST_F(LangTest, MissingStringsAreListedOnceEachAndEscaped) {
    const std::string body = std::string(kHeader) + "STRING Open====Ouvrir\n";
    // Without the option, or with no language loaded, nothing is listed.
    load(1, body);
    EXPECT_EQ(tr("Other"), "Other");
    OPT_parse_only("--missing_strings");
    LANG_load(0);
    EXPECT_EQ(tr("Other"), "Other");
    EXPECT_FALSE(FILE_is_file(missing_file()));

    load(1, body);
    EXPECT_EQ(tr("Open"), "Ouvrir");
    EXPECT_EQ(tr("Line\r\nend"), "Line\r\nend");
    EXPECT_EQ(tr("Line\r\nend"), "Line\r\nend");
    EXPECT_EQ(tr("Other", 1), "Other");
    EXPECT_EQ(count(2, "Open", "Other"), "Other");
    EXPECT_EQ(test::read_file(missing_file()),
              "STRING Line\\r\\nend====Line\\r\\nend\nSTRING Other====Other\n");

    // A new load forgets what was listed; the file stays open and grows.
    OPT_parse_only("");
    load(1, body);
    EXPECT_EQ(tr("Other"), "Other");
    EXPECT_EQ(test::read_file(missing_file()),
              "STRING Line\\r\\nend====Line\\r\\nend\nSTRING Other====Other\nSTRING Other====Other\n");
}

TEST_F(LangTest, MissingStringsGoBesideTheExecutable) {
    LANG_restart_for_test("");
    std::string folder;
    FILE_get_special_folder(0, folder);
    EXPECT_EQ(LANG_missing_strings_file(), folder + "Untranslated Strings.txt");
}

TEST_F(LangTest, EachShippedTranslationLoadsCleanAndTranslatesEveryText) {
    std::vector<std::string> texts = {
        "Aerivon is totally out of memory.",
        "Next time, turn down your rendering settings or remove add-ons to avoid this problem.",
        "If you cannot restart Aerivon you may have to delete your preferences, in the Output folder.",
        "Understood",
        "Accept",
        "Learn More",
    };
    for (const cmnd_row& row : CMND_builtin)
        texts.push_back(row.description);
    for (int row : {1, 2, 3}) { // the embedded French.txt, German.txt and Russian.txt
        SCOPED_TRACE(row);
        take_log();
        LANG_load(row);
        EXPECT_EQ(take_log(), " ==== CHANGING LANGUAGE TO: " + LANG_display_name(row).substr(1) + ". ====\n");
        for (const std::string& english : texts) {
            std::string translated = tr(english);
            EXPECT_NE(translated, english);
            EXPECT_TRUE(FILE_is_utf8(translated.data(), translated.data() + translated.size())) << english;
        }
    }
}

// Workers translate too (the out-of-memory alert): the missing list must stay whole.
class LangConcurrentTest : public LangTest {};

TEST_F(LangConcurrentTest, MissesOfTheSameTextsAreListedOnceEach) {
    OPT_parse_only("--missing_strings");
    load(3, std::string(kHeader) + "STRING Open====Открыть\n");
    const int kTexts = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kTexts; ++i) {
                int k = (i * 7 + t * 13) % kTexts; // each thread in its own order
                std::string out;
                LANG_translate(out, "Missing text " + std::to_string(k));
                LANG_translate_count(out, k, "Open", "Missing text " + std::to_string(k));
                LANG_translate(out, "Open");
            }
        });
    for (std::thread& th : threads)
        th.join();

    std::istringstream lines(test::read_file(missing_file()));
    std::vector<std::string> listed;
    for (std::string line; std::getline(lines, line);)
        listed.push_back(line);
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> expected;
    for (int k = 0; k < kTexts; ++k)
        expected.push_back("STRING Missing text " + std::to_string(k) + "====Missing text " +
                           std::to_string(k));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
}

TEST(BtnSplitLabelTest, LabelsSplitIntoLeftRightAndTip) {
    struct Case {
        const char* label;
        const char* left;
        const char* right;
        const char* tip;
    } cases[] = {
        {"A|B{C", "A", "B", "C"},
        {"A | B { C", "A", "B", "C"},
        {"x  |  y", "x ", " y", ""},
        {"OK", "OK", "", ""},
        {"Help{tip", "Help", "", "tip"},
        {"Help {tip {more", "Help{tip", "", "more"},
        {"|Fran\xC3\xA7"
         "ais",
         "",
         "Fran\xC3\xA7"
         "ais",
         ""},
        {"a|b|c", "a|b", "c", ""},
        {"a|b{c{d", "a", "b{c", "d"},
        {"a{b|c", "a{b", "c", ""},
        {"\ta\t|\tb", "\ta", "b", ""},
        {"", "", "", ""},
        {" | { ", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string left = "x", right = "x", tip = "x";
        BTN_split_label(c.label, left, right, tip);
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(right, c.right);
        EXPECT_EQ(tip, c.tip);
    }
}

} // namespace
