// exce_class: an alert captured as an object, so that an alert raised on a worker thread can travel to the
// main thread and be shown there.
#pragma once
#include <string>

class exce_class {
  public:
    exce_class(std::string l1, std::string l2, std::string l3, std::string l4, const char* f, int ln, int k);
    exce_class(const exce_class&) = default;
    virtual ~exce_class();
    // Shows the stored alert (main thread) or ends the process after logging it (worker thread).
    void report();

    std::string line1, line2, line3, line4;
    const char* file;
    int line;
    int kind;
};
