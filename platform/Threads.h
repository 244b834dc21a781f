// What the program's worker threads ask of the system: signals kept away
// from them, and giving the processor up to a thread that waits for it.
#pragma once

namespace norvane {

// While one lives, the calling thread blocks every signal a program is sent
// (the faults a thread raises itself stay open), so that the threads it
// starts meanwhile inherit that: signals then go to the program's own
// threads, never to a worker inside a system call. The old mask returns
// when it goes.
class SignalsKeptFromNewThreads {
public:
    SignalsKeptFromNewThreads();
    ~SignalsKeptFromNewThreads();
    SignalsKeptFromNewThreads(const SignalsKeptFromNewThreads&) = delete;
    SignalsKeptFromNewThreads& operator=(const SignalsKeptFromNewThreads&) = delete;

private:
    alignas(8) unsigned char m_oldMask[128];
};

// Lets another runnable thread have the processor now.
void YieldProcessor();

// fn runs in the child of every fork, which has none of the parent's other
// threads (nothing where there is no fork).
void RunInForkedChild(void (*fn)());

// The threads of this process, as the system counts them (0 where it cannot).
int ProcessThreadCount();

}  // namespace norvane
