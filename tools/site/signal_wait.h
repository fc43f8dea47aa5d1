// The service's signals, taken by one thread that waits for them: SIGTERM and
// SIGINT stop the service, SIGHUP reloads the site file. Waiting for them in
// a thread (instead of a handler) lets that thread do the work itself, such
// as closing the sessions that hang on a silent meter.
#pragma once

#include <signal.h>

namespace tandrel_site {

enum class ServiceSignal { Stop, Reload };

class SignalWait {
public:
    // Blocks the signals in the calling thread, and so in every thread it
    // starts from then on: construct it before any other thread.
    SignalWait();
    ~SignalWait();
    SignalWait(const SignalWait&) = delete;
    SignalWait& operator=(const SignalWait&) = delete;

    ServiceSignal next();

private:
    sigset_t signals_;
    sigset_t previous_;
};

}  // namespace tandrel_site
