#include "platform/stop_signals.h"

#include <pthread.h>
#include <signal.h>

namespace sw::platform {

namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = StopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::~StopSignals() {
    // The thread waits in sigwait for as long as the process lives; it
    // holds nothing, so it is left to end with the process.
    if (thread_.joinable()) thread_.detach();
}

void StopSignals::Start(std::function<void(int)> onSignal) {
    thread_ = std::thread([this, onSignal = std::move(onSignal)] {
        const sigset_t set = StopSet();
        int signal = 0;
        while (sigwait(&set, &signal) == 0) {
            if (received_.exchange(signal) == 0) onSignal(signal);
        }
    });
}

}  // namespace sw::platform
