#pragma once
// SIGTERM, SIGINT and SIGHUP end the program cleanly: they are blocked in
// every thread (the constructor must run before any thread starts, since
// threads inherit the mask) and taken by one thread of their own, which
// hands them to a callback. The handler loop then stops as if the user had
// confirmed Exit, so the browser is closed and nothing is left behind.
#include <atomic>
#include <functional>
#include <thread>

namespace sw::platform {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Calls onSignal(signal number) on the signal thread for the first
    // signal that arrives.
    void Start(std::function<void(int)> onSignal);
    // The signal that arrived, or 0.
    int Received() const { return received_; }

private:
    std::atomic<int> received_{0};
    std::thread thread_;
};

}  // namespace sw::platform
