// exce_class: interim.
#include "base/exce_class.h"

#include <utility>

#include "base/APP_alert.h"

exce_class::exce_class(std::string l1, std::string l2, std::string l3, std::string l4, const char* f, int ln,
                       int k)
    : line1(std::move(l1)), line2(std::move(l2)), line3(std::move(l3)), line4(std::move(l4)), file(f),
      line(ln), kind(k) {}

exce_class::~exce_class() = default;

void exce_class::report() { APP_alert(0, line1, line2, line3, line4, kind, file, line); }
