// UTL_thread: processors, critical sections, threads, the counting semaphore and the blocking queue.
#include "base/UTL_thread.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <time.h>
#include <type_traits>
#include <unistd.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include "base/APP_alert.h"
#include "base/LOG_log.h"

static_assert(std::is_same_v<pthread_t, UTL_thread_handle>, "a thread handle holds a pthread_t");

// The semaphore record: any thread may use it between UTL_sem_create and UTL_sem_destroy.
struct UTL_semaphore {
    std::atomic<int32_t> counter{0};
    sem_t os; // count = sleepers that a release has counted; only threads that found no free unit sleep
};

namespace {

// The affinity that new threads get after the main thread was pinned: written once by
// UTL_lock_to_first_cpu before other threads start, read by any thread in UTL_create_thread.
cpu_set_t new_thread_affinity;
std::atomic<bool> new_thread_affinity_set{false};

class crit_guard {
  public:
    explicit crit_guard(UTL_crit* crit) : crit_(crit) { UTL_enter_crit(crit_); }
    ~crit_guard() { UTL_leave_crit(crit_); }
    crit_guard(const crit_guard&) = delete;
    crit_guard& operator=(const crit_guard&) = delete;

  private:
    UTL_crit* crit_;
};

// A wake-up hands over whatever the poster did before sem_post. TSan sees sem_post as a release but does not
// intercept sem_clockwait, so the matching acquire is stated here.
void os_woken(sem_t* os) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(os);
#else
    (void)os;
#endif
}

enum class os_wait_result { signalled, timed_out, failed };

// Sleeps on the OS semaphore until it is posted, or until the absolute monotonic deadline passes.
// A signal handler that interrupts the sleep does not end it: the wait goes on with the same deadline.
os_wait_result os_wait(sem_t* os, const timespec* deadline, int* error) {
    for (;;) {
        int r = deadline ? sem_clockwait(os, CLOCK_MONOTONIC, deadline) : sem_wait(os);
        if (r == 0) {
            os_woken(os);
            return os_wait_result::signalled;
        }
        if (errno == EINTR)
            continue;
        *error = errno;
        return deadline && errno == ETIMEDOUT ? os_wait_result::timed_out : os_wait_result::failed;
    }
}

timespec deadline_after(int ms) {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    t.tv_sec += ms / 1000;
    t.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
    return t;
}

// Time-out 0: takes a free unit if there is one; nothing changes otherwise.
bool sem_try_take(UTL_semaphore* sem) {
    int32_t c = sem->counter.load();
    while (c >= 1) {
        if (sem->counter.compare_exchange_weak(c, c - 1))
            return true;
    }
    return false;
}

// A timed-out sleeper takes back its decrement, unless a release has counted it already.
bool sem_cancel_wait(UTL_semaphore* sem) {
    int32_t c = sem->counter.load();
    while (c < 0) {
        if (sem->counter.compare_exchange_weak(c, c + 1))
            return true;
    }
    return false;
}

} // namespace

int UTL_cpu_count() {
    // The processors this process may run on (the mask from before "--lock_main_thread" pinned the main
    // thread); the online count when the mask cannot be read.
    cpu_set_t mask;
    CPU_ZERO(&mask);
    if (new_thread_affinity_set.load(std::memory_order_acquire)) {
        int n = CPU_COUNT(&new_thread_affinity);
        if (n > 0)
            return n;
    } else if (sched_getaffinity(0, sizeof mask, &mask) == 0) {
        int n = CPU_COUNT(&mask);
        if (n > 0)
            return n;
    }
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n < 1 ? 1 : static_cast<int>(n);
}

uint64_t UTL_lock_to_first_cpu(int* error) {
    cpu_set_t previous;
    CPU_ZERO(&previous);
    *error = 0;
    uint64_t mask = 0;
    if (sched_getaffinity(0, sizeof previous, &previous) != 0) {
        *error = errno;
        return 0;
    }
    for (int cpu = 0; cpu < 64; ++cpu)
        if (CPU_ISSET(cpu, &previous))
            mask |= uint64_t{1} << cpu;
    cpu_set_t first;
    CPU_ZERO(&first);
    CPU_SET(0, &first);
    if (sched_setaffinity(0, sizeof first, &first) != 0) {
        *error = errno;
        return mask;
    }
    new_thread_affinity = previous;
    new_thread_affinity_set.store(true, std::memory_order_release);
    return mask;
}

void UTL_init_crit(UTL_crit* crit) { crit->mutex.emplace(); }
void UTL_delete_crit(UTL_crit* crit) { crit->mutex.reset(); }
void UTL_enter_crit(UTL_crit* crit) { crit->mutex->lock(); }
void UTL_leave_crit(UTL_crit* crit) { crit->mutex->unlock(); }

void UTL_create_thread(UTL_thread_routine routine, void* context, UTL_thread_handle* handle,
                       unsigned long* id, UTL_thread_handle* copy) {
    pthread_t thread;
    pthread_attr_t attr;
    pthread_attr_t* attributes = nullptr;
    if (new_thread_affinity_set.load(std::memory_order_acquire) && pthread_attr_init(&attr) == 0) {
        attributes = &attr;
        pthread_attr_setaffinity_np(&attr, sizeof new_thread_affinity, &new_thread_affinity);
    }
    int err = pthread_create(&thread, attributes, routine, context);
    if (attributes)
        pthread_attr_destroy(attributes);
    if (err == 0) {
        if (handle)
            *handle = thread;
        if (id)
            *id = thread;
        if (copy)
            *copy = thread;
        return;
    }
    // Cleared first: off the main thread the alert ends this thread and does not return.
    if (handle)
        *handle = 0;
    if (id)
        *id = 0;
    if (copy)
        *copy = 0;
    char text[64];
    std::snprintf(text, sizeof text, "err=%f", static_cast<double>(err));
    APP_alert(0, "\"CreateThread\" OS error", text, "", "", 3, "UTL_thread", 109);
}

int UTL_join_thread(UTL_thread_handle handle, UTL_thread_handle copy) {
    (void)handle; // pthread_join both waits and frees: there is no second handle to close
    void* code = nullptr;
    // pthread_join on no thread is undefined; report it as the failed wait it is. A thread joining itself
    // is refused before the call, as glibc would refuse it.
    int err;
    if (!copy)
        err = ESRCH;
    else if (pthread_equal(static_cast<pthread_t>(copy), pthread_self()))
        err = EDEADLK;
    else
        err = pthread_join(static_cast<pthread_t>(copy), &code);
    if (err != 0) {
        LOG_stream << "Wait on thread for cleanup failed with " << err << ".\n";
        return -1;
    }
    return static_cast<int>(reinterpret_cast<intptr_t>(code));
}

void UTL_exit_thread(int code) { pthread_exit(reinterpret_cast<void*>(static_cast<intptr_t>(code))); }

void UTL_sem_create(UTL_semaphore** out, int32_t initial) {
    auto* sem = new UTL_semaphore;
    sem->counter.store(initial);
    sem_init(&sem->os, 0, 0);
    *out = sem;
}

void UTL_sem_destroy(UTL_semaphore* sem) {
    if (!sem)
        return;
    sem_destroy(&sem->os);
    delete sem;
}

void UTL_sem_release(UTL_semaphore* sem) {
    // Still below 1 after the increment: a thread was (about to go) asleep and this unit is its.
    if (sem->counter.fetch_add(1) + 1 < 1)
        sem_post(&sem->os);
}

bool UTL_sem_wait(UTL_semaphore* sem, int timeout_ms) {
    if (timeout_ms == 0)
        return sem_try_take(sem);
    if (sem->counter.fetch_sub(1) >= 1)
        return true;

    int error = 0;
    os_wait_result r;
    if (timeout_ms < 0) {
        r = os_wait(&sem->os, nullptr, &error);
    } else {
        timespec deadline = deadline_after(timeout_ms);
        r = os_wait(&sem->os, &deadline, &error);
        if (r == os_wait_result::timed_out) {
            if (sem_cancel_wait(sem))
                return false;
            // A release counted this waiter and posts (or is about to post) its unit: take it.
            r = os_wait(&sem->os, nullptr, &error);
        }
    }
    if (r != os_wait_result::signalled) {
        std::printf("WaitForSingleObject: %d\n", error);
        std::fflush(stdout);
    }
    return true;
}

int32_t UTL_sem_counter(const UTL_semaphore* sem) { return sem->counter.load(); }

THREAD_queue* THREAD_queue_create() {
    auto* queue = new THREAD_queue;
    UTL_init_crit(&queue->lock);
    try {
        UTL_sem_create(&queue->semaphore, 0);
    } catch (...) {
        delete queue;
        throw;
    }
    return queue;
}

void THREAD_queue_destroy(THREAD_queue* queue) {
    if (!queue)
        return;
    UTL_delete_crit(&queue->lock);
    UTL_sem_destroy(queue->semaphore);
    delete queue;
}

void THREAD_queue_push(THREAD_queue* queue, void* item) {
    {
        crit_guard guard(&queue->lock);
        queue->items.push_back(item);
        ++queue->count;
    }
    UTL_sem_release(queue->semaphore);
}

void* THREAD_queue_pop(THREAD_queue* queue, int timeout_ms) {
    if (!UTL_sem_wait(queue->semaphore, timeout_ms))
        return nullptr;
    for (;;) {
        {
            crit_guard guard(&queue->lock);
            if (queue->count > 0) {
                void* item = queue->items.front();
                queue->items.pop_front();
                --queue->count;
                return item;
            }
        }
        // A unit without an item: someone took the item past the semaphore.
        if (timeout_ms >= 0)
            return nullptr;
        UTL_sem_wait(queue->semaphore, -1);
    }
}
