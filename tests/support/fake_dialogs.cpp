// Fake native file dialogs on PATH.
#include "support/fake_dialogs.h"

#include <cstdlib>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace test {

FakeDialogs::FakeDialogs(const std::vector<std::string>& names, bool own_path) {
    bin_ = dir_.file("bin");
    const std::string& bin = bin_;
    mkdir(bin.c_str(), 0755);
    std::string script = std::string(AERIVON_SOURCE_DIR) + "/tests/support/fake_dialog/fake_dialog.sh";
    for (const std::string& n : names)
        symlink(script.c_str(), (bin + "/" + n).c_str());
    log_ = dir_.file("calls.txt");
    if (own_path)
        path_ = std::make_unique<ScopedEnv>("PATH", bin);
    log_env_ = std::make_unique<ScopedEnv>("FAKE_DIALOG_LOG", log_);
    for (const char* v :
         {"FAKE_ZENITY_ANSWER", "FAKE_ZENITY_STATUS", "FAKE_KDIALOG_ANSWER", "FAKE_KDIALOG_STATUS"})
        answers_.push_back(std::make_unique<ScopedEnv>(v, std::nullopt));
}

void FakeDialogs::answer(const std::string& name, const std::string& text, int status) {
    std::string upper = name == "zenity" ? "ZENITY" : "KDIALOG";
    // The constructor's ScopedEnv objects put the old values back.
    setenv(("FAKE_" + upper + "_ANSWER").c_str(), text.c_str(), 1);
    setenv(("FAKE_" + upper + "_STATUS").c_str(), std::to_string(status).c_str(), 1);
}

std::string FakeDialogs::calls() const { return access(log_.c_str(), F_OK) == 0 ? read_file(log_) : ""; }

std::vector<std::string> FakeDialogs::last_call() const {
    std::vector<std::string> call;
    std::istringstream in(calls());
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            call.clear();
            line = line.substr(1, line.size() - 2);
        }
        call.push_back(line);
    }
    return call;
}

} // namespace test
