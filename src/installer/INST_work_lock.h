// INST_work_lock: the lock that marks a run's work folder as in use, and the clean-up of work folders that
// runs killed before their exit left behind.
//
// DESIGN: each run holds an flock on the file "lock" in its own work folder for as long as the process
// lives (the kernel drops it when the process dies, however it dies). At start-up a run removes the
// folders "aerivon-installer-*" beside its own whose lock it can take: only real folders (not links) that
// the user owns. A folder without a lock file is left while it is younger than a minute, since a run that
// is starting may not have made its lock yet.
#pragma once
#include <string>

// Takes the lock of the work folder `folder` (ending in '/'), creating its lock file. True when held; the
// descriptor stays open (close-on-exec) until the process ends.
bool INST_lock_work_folder(const std::string& folder);

// Removes the work folders of runs that are gone from `base` (ending in '/'), never `keep` or the folder
// that holds the running program (`program_folder`), both ending in '/'. Each removal is logged. Returns the
// number removed.
int INST_remove_stale_work_folders(const std::string& base, const std::string& keep,
                                   const std::string& program_folder);

// Removes the private expansion folders (".aerivon-unpack-*", made by INST_expand) that a killed run left
// in `folder` (ending in '/'): real folders only, with everything in them; links and other names are left.
// Returns the number removed.
int INST_remove_unpack_leftovers(const std::string& folder);
