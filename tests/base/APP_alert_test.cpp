// The pre-graphics alert and the orderly exit. Every alert runs in a death-test child with no display, so a
// message box can never wait for a user.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/APP_alert.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "support/test_support.h"

namespace {

using testing::AllOf;
using testing::ExitedWithCode;
using testing::HasSubstr;
using testing::Not;

const char source_path[] = "C:\\dev/src\\x.cpp";

void no_display() {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
}

// The child of a threadsafe death test is a fresh run of the test with temporary folders of its own, so
// the child makes the folder of its log and names it on stderr; the parent reads the log from there.
void start_log() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/aerivon-alert-XXXXXX";
    if (!mkdtemp(folder.data()))
        std::_Exit(90);
    std::fprintf(stderr, "<<dir:%s>>", folder.c_str());
    LOG_init();
    FILE_open_ofstream(LOG_stream, folder + "/log.txt", std::ios_base::out, 0x40);
}

// A matcher that keeps the child's stderr for the checks that follow.
testing::Matcher<const std::string&> capture(std::string& into) {
    return testing::Truly([&into](const std::string& err) {
        into = err;
        return true;
    });
}

// The log file the child named on stderr (its folder is removed), or "<no log>".
std::string child_log(const std::string& err) {
    size_t at = err.find("<<dir:"), end = err.find(">>", at);
    if (at == std::string::npos || end == std::string::npos)
        return "<no log>";
    const std::string folder = err.substr(at + 6, end - at - 6);
    std::string text = test::read_file(folder + "/log.txt");
    std::filesystem::remove_all(folder);
    return text;
}

// The seven lines of the log block, each after its "E/SYS: " prefix.
std::string block(const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4,
                  const std::string& source) {
    const std::string frame = "E/SYS: +" + std::string(79, '-') + "\n";
    return frame + "E/SYS: | " + l1 + "\n" + "E/SYS: | " + l2 + "\n" + "E/SYS: | " + l3 + "\n" + "E/SYS: | " +
           l4 + "\n" + "E/SYS: | " + source + "\n" + frame;
}

// The child's log with every line's time field removed, so that blocks compare as whole text.
std::string log_without_times(const std::string& err) {
    const std::string text = child_log(err);
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
        size_t tag = line.find(" E/");
        out += tag == std::string::npos ? line : line.substr(tag + 1);
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return out;
}

TEST(AlertDeathTest, AutomatedRunEndsFatalAlertsWithCodeOneAndTheLogBlock) {
    for (int kind : {2, 3}) {
        SCOPED_TRACE(kind);
        std::string err;
        EXPECT_EXIT(
            {
                no_display();
                OPT_parse_only("--qa_script=script.txt");
                start_log();
                APP_alert(0, "one", "two", "three", "four", kind, source_path, 7);
                std::_Exit(77);
            },
            ExitedWithCode(1), capture(err));
        EXPECT_THAT(err, Not(HasSubstr("one"))) << "an automated run shows nothing";
        EXPECT_EQ(log_without_times(err), block("one", "two", "three", "four", "(x.cpp:7)"));
    }
}

TEST(AlertDeathTest, AutomatedRunReturnsFromWarningsAndLogsOnlyKindOne) {
    std::string err;
    EXPECT_EXIT(
        {
            no_display();
            OPT_parse_only("--fps_test=1");
            start_log();
            APP_alert(-1, "-", "-", "-", "-", 0, "hl_init.cpp", 1044);
            APP_alert(0, "warned", "", "", "http://example/", 1, "/a/b/FILE_ops.cpp", 658);
            LOG_flush();
            std::_Exit(APP_alert_showing() ? 5 : 77);
        },
        ExitedWithCode(77), capture(err));
    EXPECT_THAT(err, Not(HasSubstr("warned")));
    EXPECT_EQ(log_without_times(err), block("warned", "", "", "http://example/", "(FILE_ops.cpp:658)"));
}

TEST(AlertDeathTest, AutomatedFatalAlertWithoutTheLogExitsCleanly) {
    // Crash-report mode skips LOG_init; the alert still writes and flushes the log, which must do nothing.
    EXPECT_EXIT(
        {
            no_display();
            OPT_parse_only("--report_crash --qa_script=s");
            APP_alert(0, "no log", "", "", "", 3, "x.cpp", 1);
            std::_Exit(77);
        },
        ExitedWithCode(1), "");
}

TEST(AlertDeathTest, MessageBoxPathShowsTheTextAndEndsFatalKinds) {
    for (auto [kind, code] : {std::pair{2, 0}, std::pair{3, 1}}) {
        SCOPED_TRACE(kind);
        std::string err;
        EXPECT_EXIT(
            {
                no_display();
                OPT_parse_only("--lang=fr");
                start_log();
                APP_alert(0, "Fatal one", "two", "", "four", kind, source_path, 7);
                std::_Exit(77);
            },
            ExitedWithCode(code), capture(err));
        EXPECT_THAT(err, HasSubstr("\aFatal one\ntwo\n\nfour\n"));
        EXPECT_EQ(log_without_times(err), block("Fatal one", "two", "", "four", "(x.cpp:7)"));
    }
}

TEST(AlertDeathTest, MessageBoxPathReturnsFromWarnings) {
    std::string err;
    EXPECT_EXIT(
        {
            no_display();
            OPT_parse_only("");
            start_log();
            APP_alert(0, "chooser", "", "", "", 0, "x.cpp", 1);
            APP_alert(0, "careful", "", "", "", 1, "x.cpp", 2);
            LOG_flush();
            std::_Exit(APP_alert_showing() ? 5 : 77);
        },
        ExitedWithCode(77), capture(err));
    EXPECT_THAT(err, AllOf(HasSubstr("\achooser\n"), HasSubstr("\acareful\n")));
    EXPECT_EQ(log_without_times(err), block("careful", "", "", "", "(x.cpp:2)"));
}

// Hooks that say on stderr when they run.
void say_restore() { std::fputs("[restore]", stderr); }
void say_destroy() { std::fputs("[destroy]", stderr); }
void say_unregister() { std::fputs("[unregister]", stderr); }
void say_sockets() { std::fputs("[sockets]", stderr); }
void say_save() { std::fputs("[save]", stderr); }

APP_alert_hooks saying_hooks() {
    APP_alert_hooks h;
    h.save_settings = say_save;
    h.restore_display = say_restore;
    h.destroy_windows = say_destroy;
    h.unregister_class = say_unregister;
    h.socket_cleanup = say_sockets;
    return h;
}

// A drawn alert that raises another alert while it shows, as a callback of the alert screen could.
void draw_nested(int, const std::string& l1, const std::string&, const std::string&, const std::string&, int,
                 const std::string& source) {
    std::fprintf(stderr, "[drawn %s %s showing=%d]", l1.c_str(), source.c_str(), APP_alert_showing() ? 1 : 0);
    APP_alert(0, "inner", "", "", "", 1, "inner.cpp", 9);
}

void draw_quietly(int return_screen, const std::string& l1, const std::string&, const std::string&,
                  const std::string&, int kind, const std::string& source) {
    std::fprintf(stderr, "[drawn %d %s %d %s]", return_screen, l1.c_str(), kind, source.c_str());
}

TEST(AlertDeathTest, AlertDuringAnAlertEndsWithCodeOneAfterTheExitSteps) {
    std::string err;
    EXPECT_EXIT(
        {
            no_display();
            OPT_parse_only("");
            start_log();
            APP_alert_hooks h = saying_hooks();
            h.draw_alert = draw_nested;
            APP_set_alert_hooks(h);
            APP_graphics_up = 1;
            APP_alert(0, "outer", "", "", "", 1, "outer.cpp", 3);
            std::_Exit(77);
        },
        ExitedWithCode(1), capture(err));
    EXPECT_THAT(err, HasSubstr("[drawn outer (outer.cpp:3) showing=1]\ainner\n\n\n\n"
                               "[restore][destroy][unregister][sockets]"));
    EXPECT_THAT(err, Not(HasSubstr("[save]")));
    EXPECT_EQ(log_without_times(err), block("inner", "", "", "", "(inner.cpp:9)"));
}

TEST(AlertDeathTest, DrawnAlertReturnsForWarningsAndIsSkippedWithoutText) {
    std::string err;
    EXPECT_EXIT(
        {
            no_display();
            OPT_parse_only("");
            start_log();
            APP_alert_hooks h = saying_hooks();
            h.draw_alert = draw_quietly;
            APP_set_alert_hooks(h);
            APP_graphics_up = 1;
            APP_alert(-1, "warning", "", "", "", 1, "a/w.cpp", 5);
            if (APP_alert_showing())
                std::_Exit(5);
            // Four empty lines draw nothing, but the fatal kind is still logged and still ends the run.
            APP_alert(0, "", "", "", "", 2, "a/e.cpp", 6);
            std::_Exit(77);
        },
        ExitedWithCode(0), capture(err));
    EXPECT_THAT(err, HasSubstr("[drawn -1 warning 1 (w.cpp:5)][restore][destroy][unregister][sockets]"));
    EXPECT_THAT(err, Not(HasSubstr("\a")));
    EXPECT_EQ(log_without_times(err),
              block("warning", "", "", "", "(w.cpp:5)") + block("", "", "", "", "(e.cpp:6)"));
}

struct quit_case {
    const char* options;
    int save;
    bool saves;
};

TEST(AlertDeathTest, QuitRunsItsStepsInOrderAndFlushesTheLog) {
    const quit_case cases[] = {
        {"", 0, false}, {"", 1, true}, {"--qa_script=s", 1, false}, {"--fps_test=2", 0, false}};
    for (const quit_case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.options << " save=" << c.save);
        std::string err;
        EXPECT_EXIT(
            {
                OPT_parse_only(c.options);
                start_log();
                APP_set_alert_hooks(saying_hooks());
                LOG_write(1, "net", "x=%d", 5);
                APP_quit(c.save);
                std::fputs("[end]", stderr);
                std::_Exit(77);
            },
            ExitedWithCode(77), capture(err));
        const std::string steps = "[restore][destroy][unregister][sockets][end]";
        EXPECT_THAT(err, HasSubstr(c.saves ? "[save]" + steps : steps));
        if (!c.saves) {
            EXPECT_THAT(err, Not(HasSubstr("[save]")));
        }
        EXPECT_THAT(child_log(err), testing::EndsWith(" I/net: x=5\n"));
    }
}

TEST(AlertDeathTest, QuitWithoutHooksFlushesAndClosesTheLog) {
    std::string err;
    EXPECT_EXIT(
        {
            OPT_parse_only("");
            start_log();
            LOG_stream << "direct\n";
            LOG_write(2, "SYS", "last");
            APP_quit(1);
            LOG_stream << "after close\n";
            LOG_stream.flush();
            std::_Exit(77);
        },
        ExitedWithCode(77), capture(err));
    const std::string log = child_log(err);
    EXPECT_THAT(log, testing::StartsWith("direct\n"));
    EXPECT_THAT(log, testing::EndsWith(" W/SYS: last\n"));
}

} // namespace
