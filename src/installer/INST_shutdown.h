// INST_shutdown: the installer's part of every way out of the program (the run loop's end after QUIT, a
// closed window or SIGTERM, and a fatal alert).
//
// DESIGN: worker threads read and write the package list, the copy and the work folder (the checksum
// queue of a scan, the disc queues, the expansion queue), and the HTTP transfers write into the work
// folder; the exit frees the list and removes the work folder. So before the toolkit's exit steps, on the
// main thread, the work is ended in this order: the checksum queue and the disc queues are released (the
// tasks in flight finish), the download step is reset (the expansions in flight finish; its transfers,
// download files and stage folders go), every other HTTP transfer is cleared, and then the work folder is
// removed. Nothing in flight is cut: a file being put into place is renamed whole or not at all.
#pragma once

// Ends the installer's work (see DESIGN). Main thread; a second call has nothing left to do.
void INST_end_work();
