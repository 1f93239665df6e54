// INST_activity: the installer's answer to the toolkit's busy query.
#include "installer/INST_activity.h"

#include "base/UTL_work_queue.h"
#include "base/http.h"
#include "installer/INST_wizard.h"

int INST_work_in_flight() {
    return UTL_work_tasks_in_flight() > 0 || HTTP_transfers_running() > 0 || INST_wizard_animates() ? 1 : 0;
}
