// checksum_task: the work task that fills the local signature of a batch of package-list entries.
#pragma once
#include <cstdint>
#include <string>

#include "base/UTL_work_queue.h"
#include "installer/INST_scan.h"

// The signature a path gets when something exists there but cannot be hashed (a folder, a dangling link,
// a file without read permission). It matches no version, so the plan asks the user about it.
inline constexpr const char INST_SIG_UNREADABLE[] = "UNREADABLE";
// The signature of a path where nothing exists.
inline constexpr const char INST_SIG_NONE[] = "NONE";

// Entries [first, end) of INST_directory's package list. For the current record of each wanted entry
// (INST_record_is_wanted, by the filter taken when the task was made) run sets sig_have and the matches
// flag (sig_have == sig_want):
//
// | mode | something at the path (lstat)            | sig_have             |
// |------|------------------------------------------|----------------------|
// | 0    | nothing                                  | "NONE"               |
// | 0    | a file whose bytes can be read           | its MD5 in hex       |
// | 0    | anything else                            | "UNREADABLE"         |
// | 1    | nothing                                  | "NONE"               |
// | 1    | a file (a link to one counts)            | its sig_want         |
// | 1    | anything else                            | "UNREADABLE"         |
// Unwanted entries are not touched. The task writes only the records of its own entries; the poster
// keeps the list's layout and the install folder unchanged while it is in flight.
class checksum_task : public UTL_work_task {
  public:
    // Made on the main thread, which fixes the install folder (made absolute) the task works in and the
    // job's filter.
    checksum_task(int first, int end, int mode);
    void run() override;
    // Empties `message` and returns 0: file errors become signatures, never task errors.
    int result(std::string& message) override;

    // The bytes the poster expects the task to read (its share of the scan's work in flight).
    int64_t bytes = 0;

  private:
    int first_;
    int end_;
    int mode_;
    std::string folder_;
    job_filter job_;
};
