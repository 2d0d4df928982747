// Turns SIGINT, SIGTERM and SIGHUP into calls on the Qt main thread
// (Linux/POSIX: a self-pipe written by the signal handler, read through a
// QSocketNotifier).
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace tembrel::shell {

class SignalWatcher {
public:
    // `terminate` runs for SIGINT and SIGTERM, `hangup` for SIGHUP, each on
    // the thread that owns the event loop. Only one watcher may exist.
    SignalWatcher(std::function<void()> terminate, std::function<void()> hangup);
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // False when the pipe or the handlers could not be installed.
    [[nodiscard]] bool isActive() const noexcept { return active_; }

private:
    void readSignals();

    std::function<void()> terminate_;
    std::function<void()> hangup_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool active_ = false;
};

} // namespace tembrel::shell
