// slow_lookup: a getaddrinfo that keeps one host name waiting, as a DNS server that never answers does, for
// the program's runs under LD_PRELOAD and for tests linked with it. AERIVON_SLOW_LOOKUP names the host and
// AERIVON_SLOW_LOOKUP_SECONDS how long its look-up takes (20 unless set; "never": it never answers); it
// then fails as a timed-out resolver does. With AERIVON_SLOW_LOOKUP_FAILS=n instead, the first n look-ups
// of the name fail at once, as with a DNS server that is not up yet, and the later ones find 127.0.0.1
// (counted anew whenever AERIVON_SLOW_LOOKUP names another host).
// Every other name goes to the C library's own getaddrinfo. A test linked with it may also hold the
// look-ups of a name of its own until it lets them go (slow_lookup_hold), and count the look-ups of the
// names it slows (slow_lookup_count).
#include <dlfcn.h>
#include <netdb.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

namespace {

std::atomic<int> slowed{0}; // look-ups of a held or slow name begun
std::mutex hold_lock;
std::condition_variable hold_ended;
std::string held;      // guarded by hold_lock
std::string slow_name; // guarded by hold_lock: the last AERIVON_SLOW_LOOKUP, and its look-ups that failed
int failed = 0;

// Waits while `node` is held; false when it was not held.
bool wait_while_held(const char* node) {
    std::unique_lock<std::mutex> g(hold_lock);
    if (held.empty() || held != node)
        return false;
    ++slowed;
    hold_ended.wait(g, [node] { return held != node; });
    return true;
}

} // namespace

// The look-ups of `host` wait (each in its own thread) until it is held no more: a null or another name
// lets them go on to the C library's resolver.
extern "C" void slow_lookup_hold(const char* host) {
    std::lock_guard<std::mutex> g(hold_lock);
    held = host ? host : "";
    hold_ended.notify_all();
}

// How many look-ups of a held name or of AERIVON_SLOW_LOOKUP began in this process.
extern "C" int slow_lookup_count() { return slowed.load(); }

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** res) {
    using lookup_fn = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const auto next = reinterpret_cast<lookup_fn>(dlsym(RTLD_NEXT, "getaddrinfo"));
    if (node && wait_while_held(node))
        return next ? next(node, service, hints, res) : EAI_SYSTEM;
    const char* slow = std::getenv("AERIVON_SLOW_LOOKUP");
    if (!node || !slow || std::strcmp(node, slow) != 0)
        return next ? next(node, service, hints, res) : EAI_SYSTEM;
    ++slowed;
    const char* fails = std::getenv("AERIVON_SLOW_LOOKUP_FAILS");
    bool fail = false;
    {
        std::lock_guard<std::mutex> g(hold_lock);
        if (slow_name != slow) {
            slow_name = slow;
            failed = 0;
        }
        fail = fails && failed < std::atoi(fails);
        failed += fail ? 1 : 0;
    }
    if (fail)
        return EAI_AGAIN;
    if (fails)
        return next ? next("127.0.0.1", service, hints, res) : EAI_SYSTEM;
    const char* seconds = std::getenv("AERIVON_SLOW_LOOKUP_SECONDS");
    if (seconds && std::strcmp(seconds, "never") == 0)
        for (;;)
            pause();
    timespec left{seconds ? std::atoi(seconds) : 20, 0};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    return EAI_AGAIN;
}
