// Fixtures of the thread tests: bounded polling, and death tests for the cases that end the process or
// change it for good (alerts, resource limits, CPU affinity).
#pragma once
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>

#include "support/test_support.h"

namespace test {

// Polls until the condition holds or five seconds pass; the caller asserts on the result.
template <class F> bool eventually(F condition) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The child is this program executed again, which runs the test body again up to the death statement: it
// finds the parent's folder in the environment instead of making its own.
class DeathTestDir {
  public:
    DeathTestDir() {
        if (const char* shared = std::getenv(variable)) {
            path_ = shared;
        } else {
            owned_.emplace();
            path_ = owned_->path();
            setenv(variable, path_.c_str(), 1);
        }
    }
    ~DeathTestDir() {
        if (owned_)
            unsetenv(variable);
    }
    DeathTestDir(const DeathTestDir&) = delete;
    DeathTestDir& operator=(const DeathTestDir&) = delete;
    std::string file(const std::string& rel) const { return path_ + "/" + rel; }

  private:
    static constexpr const char* variable = "AERIVON_DEATH_TEST_DIR";
    std::optional<TempDir> owned_;
    std::string path_;
};

// Every death-test child starts with this: a child that hangs is killed by the alarm (and fails its test).
inline void time_box_child() { alarm(20); }

} // namespace test
