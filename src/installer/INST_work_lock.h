// INST_work_lock: the lock that marks a run's work folder as in use, and the clean-up of work folders that
// runs killed before their exit left behind.
//
// DESIGN: each run holds an flock on the file "lock" in its own work folder for as long as the process
// lives (the kernel drops it when the process dies, however it dies). At start-up a run removes the
// folders "aerivon-installer-*" beside its own whose lock it can take: only real folders (not links) that
// the user owns. A folder without a lock file is left while it is younger than a minute, since a run that
// is starting may not have made its lock yet. A stage folder (".aerivon-unpack-*", beside the files an
// expansion or a copy across file systems puts into place) carries its run's lock too: an flock on the
// folder itself, held from its making to its removal, so that another run on the same copy removes only
// the stage folders of runs that are gone. Each held lock is an open descriptor: a run keeps a stage
// folder only while it has work in it.
#pragma once
#include <string>

// Takes the lock of the work folder `folder` (ending in '/'), creating its lock file, which must be new (a
// file or link already there is not this run's). True when held; the descriptor stays open (close-on-exec)
// until the process ends.
bool INST_lock_work_folder(const std::string& folder);

// Removes the work folders of runs that are gone from `base` (ending in '/'), never `keep` or the folder
// that holds the running program (`program_folder`), both ending in '/'. Each removal is logged. Returns the
// number removed.
int INST_remove_stale_work_folders(const std::string& base, const std::string& keep,
                                   const std::string& program_folder);

// Makes a stage folder ".aerivon-unpack-XXXXXX" (mode 0700) in `folder` (ending in '/') and takes its
// lock. Returns its absolute path ending in '/', or "" with errno set when none could be made and locked.
// Any thread.
std::string INST_make_stage_folder(const std::string& folder);

// Removes a stage folder that INST_make_stage_folder made, with everything in it, then drops its lock.
// Returns FILE_delete_tree's result. Any thread, once nothing writes into the folder.
int INST_remove_stage_folder(const std::string& stage);

// Removes the stage folders (".aerivon-unpack-*") that runs which are gone left in `folder` (ending in
// '/'): real folders only, whose lock is free, with everything in them; links, other names and the folders
// of live runs (this one's too) are left. Returns the number removed.
int INST_remove_unpack_leftovers(const std::string& folder);
