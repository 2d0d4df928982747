// POSIX signal handling for the headless server: the handler only writes the
// signal number into a pipe; the main thread reads it and acts.
#include "shell/SignalWatcher.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tembrel::shell {

namespace {

constexpr std::array<int, 3> kWatchedSignals{SIGINT, SIGTERM, SIGHUP};

// The pipe's two ends, shared with the async-signal-safe handler.
int gPipe[2] = {-1, -1};

extern "C" void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // A full pipe means signals are already pending; dropping one is fine.
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &byte, 1);
    errno = savedErrno;
}

[[nodiscard]] bool makePipe() {
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        gPipe[0] = gPipe[1] = -1;
        return false;
    }
    return true;
}

void closePipe() {
    for (int& fd : gPipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

} // namespace

SignalWatcher::SignalWatcher(std::function<void()> terminate, std::function<void()> hangup)
    : terminate_(std::move(terminate)), hangup_(std::move(hangup)) {
    if (gPipe[0] >= 0 || !makePipe()) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readSignals(); });

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    active_ = true;
    for (const int signalNumber : kWatchedSignals) {
        if (::sigaction(signalNumber, &action, nullptr) != 0) {
            active_ = false;
        }
    }
}

SignalWatcher::~SignalWatcher() {
    if (!notifier_) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : kWatchedSignals) {
        ::sigaction(signalNumber, &action, nullptr);
    }
    notifier_.reset();
    closePipe();
}

void SignalWatcher::readSignals() {
    std::array<unsigned char, 16> received{};
    ssize_t count = 0;
    while ((count = ::read(gPipe[0], received.data(), received.size())) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            const int signalNumber = received[static_cast<std::size_t>(i)];
            if (signalNumber == SIGHUP) {
                if (hangup_) {
                    hangup_();
                }
            } else if (terminate_) {
                terminate_();
            }
        }
    }
}

} // namespace tembrel::shell
