#include "platform/Threads.h"

#include <dirent.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <cstring>
#include <initializer_list>

namespace norvane {

SignalsKeptFromNewThreads::SignalsKeptFromNewThreads() {
    static_assert(sizeof(sigset_t) <= sizeof m_oldMask);
    sigset_t all;
    sigfillset(&all);
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT}) sigdelset(&all, sig);
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &all, &old);
    std::memcpy(m_oldMask, &old, sizeof old);
}

SignalsKeptFromNewThreads::~SignalsKeptFromNewThreads() {
    sigset_t old;
    std::memcpy(&old, m_oldMask, sizeof old);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

void YieldProcessor() { sched_yield(); }

void RunInForkedChild(void (*fn)()) { pthread_atfork(nullptr, nullptr, fn); }

int ProcessThreadCount() {
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return 0;
    int count = 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(tasks);
    return count;
}

}  // namespace norvane
