// dvd_unpack_task: the work task that copies one package from the disc and puts its file into place.
//
// DESIGN: a task runs twice, on two queues (INST_dvd_unpack): first on the copy queue's one thread, which
// reads the disc a file at a time, then, handed on by the main thread, on one of the extraction queue's
// threads. The stage field tells the runs apart:
// | run | stage | what                                                                                |
// |-----|-------|-------------------------------------------------------------------------------------|
// | 1   | 0 -> 1 | FILE_copy source -> temporary path in the work folder                            |
// | 2   | 1     | after a good copy: INST_expand_into_place, as the web road does (private folder     |
// |     |       | beside the destination, MD5 check, rename; a plain file is checked, then copied),   |
// |     |       | the temporary copy deleted, then sig_have = sig_want and matches = 1                |
// The first failure stops the task: its code and English text are the task's result, and the record keeps
// its old signature. The task writes only its own entry's record; the main thread keeps the list's
// layout, the install folder and the disc's paths unchanged while it is in flight.
#pragma once
#include <string>

#include "base/UTL_work_queue.h"

class dvd_unpack_task : public UTL_work_task {
  public:
    // Made on the main thread for entry `entry` of INST_directory, with the work folder `temporary_folder`
    // (ending in '/'). Source = DVD root + version folder + "/" + path + suffix; destination = install
    // folder + path; temporary path = the work folder + sig_want (only when it is letters and digits) +
    // "_" + entry + suffix (a plain file too, so that it is checked before it replaces anything). Paths
    // are absolute.
    dvd_unpack_task(int entry, const std::string& temporary_folder);
    // Logs "EXPANDING file <destination>, with result=<code>." (and " " + the error text after a failure)
    // when the installer logs its actions. Main thread.
    ~dvd_unpack_task() override;
    void run() override;
    // Copies the error text to `message` and returns the code: 0; the copy's errno; the expansion's code
    // (20002 with the failed check named in the text, also when the file does not have the wanted MD5).
    int result(std::string& message) override;

    int entry() const { return entry_; }
    int stage() const { return stage_; }
    const std::string& source_path() const { return source_; }
    const std::string& temporary_path() const { return temporary_; }
    const std::string& destination_path() const { return destination_; }

  private:
    void copy_from_disc();
    void put_into_place();

    int entry_;
    int stage_ = 0;
    std::string source_;
    std::string temporary_;
    std::string destination_;
    std::string error_text_;
    int result_ = 0;
    std::string sig_want_;
    float expanded_kb_ = 0.0f;
};
