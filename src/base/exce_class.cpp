// exce_class: an alert captured as an object.
#include "base/exce_class.h"

#include <unistd.h>
#include <utility>

#include "base/APP_alert.h"
#include "base/LOG_log.h"
#include "base/hl_thread.h"
#include "platform/WIN_message.h"

exce_class::exce_class(std::string l1, std::string l2, std::string l3, std::string l4, const char* f, int ln,
                       int k)
    : line1(std::move(l1)), line2(std::move(l2)), line3(std::move(l3)), line4(std::move(l4)), file(f),
      line(ln), kind(k) {}

exce_class::~exce_class() = default;

void exce_class::report() {
    if (THREAD_started() && !THREAD_is_main()) {
        LOG_text("EXCEPTION REPORTED FROM THREAD!!  File: " + std::string(file ? file : "") + ", line " +
                 std::to_string(line) + ".\n" + line1 + "\n" + line2 + "\n" + line3 + "\n" + line4 + "\n");
        WIN_request_quit();
        APP_quit(1);
        // No static destructor may run while other threads still live.
        _exit(0);
    }
    APP_alert(0, line1, line2, line3, line4, kind, file, line);
}
