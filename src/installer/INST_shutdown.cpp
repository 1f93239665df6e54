// INST_shutdown: the installer's work ended before the exit (see the header).
#include "installer/INST_shutdown.h"

#include "base/http.h"
#include "installer/INST_download.h"
#include "installer/INST_dvd_unpack.h"
#include "installer/INST_scan.h"
#include "installer/INST_startup.h"

void INST_end_work() {
    INST_release_checksum_queue();
    INST_release_dvd_queues();
    INST_reset_downloads();
    HTTP_clear();
    INST_remove_work_folder();
}
