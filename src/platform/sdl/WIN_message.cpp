// WIN_message: the message box through SDL, and the run loop's quit flag.
//
// DESIGN: under X11, SDL shows its box in a process that it forks, and waits for that process without an
// end: a quit cannot reach a main thread that waits there, and the box's process keeps SDL's SIGTERM
// handler, so it takes no SIGTERM either. A fork handler finds that process as it starts (it is the one
// forked by the thread that shows the box): it ends with this one, takes SIGTERM again, and writes its pid
// into a page shared with this process. A quit requested while the box shows kills it; SDL's wait then
// ends as for a box that could not be shown, which counts as dismissed, and the quit goes on. While the box
// shows, SIGTERM and SIGINT, which SDL only turns into a quit event for a run loop that no longer turns,
// also request the quit. Before SDL has set its handlers, they end the process as they always do, and the
// box's process with it.
#include "platform/WIN_message.h"

#include <SDL.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Set from any thread, read by the run loop on the main thread.
std::atomic<bool> quit_requested{false};

// In memory shared with the box's process.
struct box_page {
    std::atomic<pid_t> pid; // the box's process, once it runs; 0 before
    std::atomic<int> stop;  // a quit came while the box showed: a process still starting ends at once
};
static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// Written by the thread that shows the box before `showing` is set; read by the fork handler, the signal
// handler and WIN_request_quit.
struct box_state {
    std::atomic<bool> showing{false};
    pthread_t shower{};
    pid_t parent = 0;
    box_page* page = nullptr;
    struct sigaction previous[2] = {}; // of SIGTERM and SIGINT, when they were handlers
    bool chained[2] = {false, false};
} box;

constexpr int quit_signals[2] = {SIGTERM, SIGINT};

// Ends the box that shows, if any. Safe in a signal handler.
void stop_box() {
    if (!box.showing.load() || !box.page)
        return;
    box.page->stop.store(1);
    const pid_t pid = box.page->pid.load();
    if (pid > 0)
        kill(pid, SIGKILL);
}

// Runs in every child of fork(); only async-signal-safe calls.
void in_forked_child() {
    if (!box.showing.load() || !pthread_equal(pthread_self(), box.shower))
        return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != box.parent)
        _exit(1);
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    sigemptyset(&plain.sa_mask);
    for (int sig : quit_signals)
        sigaction(sig, &plain, nullptr);
    box.page->pid.store(getpid());
    if (box.page->stop.load())
        _exit(1);
}

void on_quit_signal(int sig, siginfo_t* info, void* context) {
    const int saved = errno;
    WIN_request_quit();
    const struct sigaction& was = box.previous[sig == SIGTERM ? 0 : 1];
    if (was.sa_flags & SA_SIGINFO)
        was.sa_sigaction(sig, info, context);
    else
        was.sa_handler(sig);
    errno = saved;
}

// The shared page and the fork handler, made once; false when they cannot be.
bool box_ready() {
    static const bool ready = [] {
        void* p = mmap(nullptr, sizeof(box_page), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return false;
        box.page = new (p) box_page{};
        return pthread_atfork(nullptr, nullptr, in_forked_child) == 0;
    }();
    return ready;
}

// SIGTERM and SIGINT, where a handler takes them, also request the quit while the box shows.
void chain_quit_signals() {
    for (int i = 0; i < 2; ++i) {
        box.chained[i] = false;
        struct sigaction was {};
        if (sigaction(quit_signals[i], nullptr, &was) != 0)
            continue;
        const bool handled = (was.sa_flags & SA_SIGINFO)
                                 ? was.sa_sigaction != nullptr
                                 : was.sa_handler != SIG_DFL && was.sa_handler != SIG_IGN;
        if (!handled)
            continue;
        box.previous[i] = was;
        struct sigaction ours {};
        ours.sa_sigaction = on_quit_signal;
        ours.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&ours.sa_mask);
        box.chained[i] = sigaction(quit_signals[i], &ours, nullptr) == 0;
    }
}

void unchain_quit_signals() {
    for (int i = 0; i < 2; ++i)
        if (box.chained[i])
            sigaction(quit_signals[i], &box.previous[i], nullptr);
}

} // namespace

void WIN_message_box(const char* text) {
    const char* t = text ? text : "";
    std::fprintf(stderr, "\a%s\n", t);
    std::fflush(stderr);
    const bool stoppable = box_ready();
    if (stoppable) {
        box.shower = pthread_self();
        box.parent = getpid();
        box.page->pid.store(0);
        box.page->stop.store(0);
        chain_quit_signals();
        box.showing.store(true);
    }
    // SDL may be called before SDL_Init for this. It fails at once without a display; the text is on
    // stderr already, so a failure counts as a dismissed box, and so does a box ended by a quit.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "Sim-Root Message", t, nullptr);
    if (stoppable) {
        box.showing.store(false);
        unchain_quit_signals();
        box.page->pid.store(0);
    }
}

void WIN_request_quit() {
    quit_requested.store(true);
    stop_box();
}

bool WIN_quit_requested() { return quit_requested.load(); }

void WIN_clear_quit_request_for_test() { quit_requested.store(false); }
