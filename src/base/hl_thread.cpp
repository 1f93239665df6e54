// hl_thread: interim: no threads yet.
#include "base/hl_thread.h"

#include "base/exce_class.h"

bool THREAD_started() { return false; }
bool THREAD_is_main() { return true; }
void THREAD_post_exception(exce_class& e) { e.report(); }
void THREAD_exit() {}
