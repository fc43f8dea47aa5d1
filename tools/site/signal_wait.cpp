// Waiting for the service's signals; see signal_wait.h.
#include "signal_wait.h"

#include <pthread.h>

namespace tandrel_site {

SignalWait::SignalWait() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGTERM);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
}

SignalWait::~SignalWait() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

ServiceSignal SignalWait::next() {
    int signal = 0;
    while (sigwait(&signals_, &signal) != 0) {
    }
    return signal == SIGHUP ? ServiceSignal::Reload : ServiceSignal::Stop;
}

}  // namespace tandrel_site
