// BTN_split_label: the three parts of a widget label, "left | right { tip".
#pragma once
#include <string>

// Splits `label` into its parts. First one blank (space or tab) directly before and one directly after
// each '|' and each '{' is dropped. Then: `left` is the text before the last '|', `right` the text from
// there to the last '{' that follows it, `tip` the text after that '{'. Without a '|', `left` ends at the
// last '{' (or is the whole label) and `right` is empty; without a '{' after the last '|', `tip` is empty
// and `right` runs to the end. Reentrant; the outputs may not alias `label`.
void BTN_split_label(const std::string& label, std::string& left, std::string& right, std::string& tip);
