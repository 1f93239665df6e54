// exce_class: an alert captured as an object, so that an alert raised on a worker thread can travel to the
// main thread and be shown there.
#pragma once
#include <string>

class exce_class {
  public:
    // `f` is a static text (not owned); `k` the alert kind 0..3 (see APP_alert).
    exce_class(std::string l1, std::string l2, std::string l3, std::string l4, const char* f, int ln, int k);
    // Copied onto the exception queues of the thread module.
    exce_class(const exce_class&) = default;
    exce_class& operator=(const exce_class&) = default;
    virtual ~exce_class();

    // Main thread (or before the thread module started): APP_alert with the stored lines, kind, file and
    // line (kinds 2 and 3 end the program). Any other thread: writes "EXCEPTION REPORTED FROM THREAD!!"
    // with the file, line and four lines to LOG_stream, flushes it, asks the run loop to quit, stops the
    // threads (APP_quit(1)) and ends the process with exit code 0. Returns only for kinds 0 and 1.
    void report();
    // Makes the alert fatal with error exit (kind 3).
    void make_fatal() { kind = 3; }

    std::string line1, line2, line3, line4;
    const char* file;
    int line;
    int kind;
};
