// Stop requests from the operating system: flag-only handlers.
#include "platform/stop.h"

#include <signal.h>
#include <unistd.h>

namespace {

// Written by the handler, read by the main thread and the dialogs.
volatile sig_atomic_t requested = 0;

constexpr int stop_signals[] = {SIGTERM, SIGINT, SIGHUP};

// The first signal is noted; a second one, when the first seems not to be
// heeded, takes its default action at once.
void note_signal(int signo) {
    if (!requested) {
        requested = signo;
        return;
    }
    signal(signo, SIG_DFL);
    raise(signo);
}

}  // namespace

void install_stop_handlers() {
    struct sigaction action {};
    action.sa_handler = note_signal;
    sigemptyset(&action.sa_mask);
    // Calls in the middle of a system call go on; the loops notice the flag.
    action.sa_flags = SA_RESTART;
    for (int signo : stop_signals) sigaction(signo, &action, nullptr);
}

int stop_requested() { return requested; }

void end_for_stop_request() {
    int signo = requested ? int(requested) : SIGTERM;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signo, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signo);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signo);
    _exit(128 + signo);  // not reached: the default action ends the program
}
