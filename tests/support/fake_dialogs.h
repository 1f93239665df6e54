// Fake native file dialogs: a folder that holds tests/support/fake_dialog/fake_dialog.sh under the names
// asked for (zenity, kdialog or neither) becomes the whole PATH while the object lives.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace test {

class FakeDialogs {
  public:
    // `names`: the programs to provide, e.g. {"zenity", "kdialog"}; {} gives a PATH with neither. With
    // `own_path` false this process keeps its PATH, and path() is for the environment of a child.
    explicit FakeDialogs(const std::vector<std::string>& names, bool own_path = true);
    // The folder that holds the fakes: the whole PATH they need.
    const std::string& path() const { return bin_; }
    // Sets what the fake of that name prints and its exit status.
    void answer(const std::string& name, const std::string& text, int status = 0);
    // The recorded calls: for each, "[name]" and then one line per argument.
    std::string calls() const;
    // The arguments of the last call, program name first.
    std::vector<std::string> last_call() const;

  private:
    TempDir dir_;
    std::string bin_, log_;
    std::unique_ptr<ScopedEnv> path_, log_env_;
    std::vector<std::unique_ptr<ScopedEnv>> answers_;
};

} // namespace test
