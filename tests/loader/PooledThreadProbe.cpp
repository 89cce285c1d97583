// Preloaded into a Qt program: holds each of Qt's pooled threads for a while in its
// thread-exit handlers, and when the program ends (after main) writes to the file named by
// POOLED_THREAD_PROBE_LOG how many pooled threads were started and how many had ended by then:
// "started N ended M". A program that ends before its pooled threads have shows M < N.
#include <dlfcn.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

pthread_key_t Key;
std::atomic<int> Started{0}, Ended{0};

// Long enough that a program not waiting for its pooled threads is through its exit first.
void HeldInExit(void*)
{
    usleep(200000);
    ++Ended;
}

void Report()
{
    if (const char* log = std::getenv("POOLED_THREAD_PROBE_LOG")) {
        if (FILE* f = std::fopen(log, "w")) {
            std::fprintf(f, "started %d ended %d\n", Started.load(), Ended.load());
            std::fclose(f);
        }
    }
}

__attribute__((constructor)) void Install()
{
    pthread_key_create(&Key, HeldInExit);
    std::atexit(Report);
}

} // namespace

// Qt names each thread as it starts it; the pooled ones get a value under our key, so the
// thread-exit handlers hold them.
extern "C" int prctl(int Option, ...)
{
    va_list ap;
    va_start(ap, Option);
    unsigned long a[4];
    for (unsigned long& v : a) v = va_arg(ap, unsigned long);
    va_end(ap);
    if (Option == PR_SET_NAME && std::strcmp(reinterpret_cast<const char*>(a[0]), "Thread (pooled)") == 0) {
        ++Started;
        pthread_setspecific(Key, &Key);
    }
    using TPrctl = int (*)(int, ...);
    static const auto real = reinterpret_cast<TPrctl>(dlsym(RTLD_NEXT, "prctl"));
    return real(Option, a[0], a[1], a[2], a[3]);
}
