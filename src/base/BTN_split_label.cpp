// BTN_split_label: the three parts of a widget label.
#include "base/BTN_split_label.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_mark(char c) { return c == '|' || c == '{'; }

} // namespace

void BTN_split_label(const std::string& label, std::string& left, std::string& right, std::string& tip) {
    // One blank on each side of a mark goes; a blank between two marks counts for both.
    std::string text;
    text.reserve(label.size());
    for (size_t i = 0; i < label.size(); ++i) {
        char c = label[i];
        if (is_blank(c) &&
            ((i + 1 < label.size() && is_mark(label[i + 1])) || (i > 0 && is_mark(label[i - 1]))))
            continue;
        text += c;
    }

    size_t bar = text.rfind('|');
    size_t brace = text.rfind('{');
    if (brace != std::string::npos && bar != std::string::npos && brace < bar)
        brace = std::string::npos; // a '{' inside the left part is text, not a tip mark
    if (bar == std::string::npos) {
        left = text.substr(0, brace);
        right.clear();
    } else {
        left = text.substr(0, bar);
        right = text.substr(bar + 1, brace == std::string::npos ? std::string::npos : brace - bar - 1);
    }
    tip = brace == std::string::npos ? std::string() : text.substr(brace + 1);
}
