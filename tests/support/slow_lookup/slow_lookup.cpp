// slow_lookup: a getaddrinfo that keeps one host name waiting, as a DNS server that never answers does, for
// the program's runs under LD_PRELOAD and for tests linked with it. AERIVON_SLOW_LOOKUP names the host and
// AERIVON_SLOW_LOOKUP_SECONDS how long its look-up takes (20 unless set; "never": it never answers); it
// then fails as a timed-out resolver does. With AERIVON_SLOW_LOOKUP_FAILS=n instead, the first n look-ups
// of the name fail at once, as with a DNS server that is not up yet, and the later ones find 127.0.0.1.
// Every other name goes to the C library's own getaddrinfo.
#include <dlfcn.h>
#include <netdb.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** res) {
    using lookup_fn = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const auto next = reinterpret_cast<lookup_fn>(dlsym(RTLD_NEXT, "getaddrinfo"));
    static std::atomic<int> asked{0};
    const char* slow = std::getenv("AERIVON_SLOW_LOOKUP");
    if (!node || !slow || std::strcmp(node, slow) != 0)
        return next ? next(node, service, hints, res) : EAI_SYSTEM;
    if (const char* fails = std::getenv("AERIVON_SLOW_LOOKUP_FAILS")) {
        if (asked++ < std::atoi(fails))
            return EAI_AGAIN;
        return next ? next("127.0.0.1", service, hints, res) : EAI_SYSTEM;
    }
    const char* seconds = std::getenv("AERIVON_SLOW_LOOKUP_SECONDS");
    if (seconds && std::strcmp(seconds, "never") == 0)
        for (;;)
            pause();
    timespec left{seconds ? std::atoi(seconds) : 20, 0};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    return EAI_AGAIN;
}
