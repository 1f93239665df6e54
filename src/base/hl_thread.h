// hl_thread: the main-thread identity, the worker pool, asynchronous calls and exceptions from threads.
#pragma once

class exce_class;

// True once THREAD_init ran.
bool THREAD_started();
// True on the thread that called THREAD_init.
bool THREAD_is_main();
// Queues a copy of the exception for the main thread.
void THREAD_post_exception(exce_class& e);
// Stops the pool and the queues at program end.
void THREAD_exit();
