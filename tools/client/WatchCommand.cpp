// watch: the live screen of status and spectrum, redrawn as the server's
// broadcasts arrive, until Ctrl-C (or SIGTERM).
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "Commands.h"
#include "StatusFormat.h"
#include "WatchScreen.h"

namespace tembrel::client {

namespace {

using namespace std::chrono_literals;

// Redraw at most this often; the spectrum may stream at 60 frames a second.
constexpr auto kFrameInterval = 33ms;
constexpr auto kPollInterval = 100ms;

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
    stopRequested = 1;
}

// Catches Ctrl-C and SIGTERM without restarting system calls, so a wait for
// the server wakes up at once; restores the previous handlers.
class StopSignals {
public:
    StopSignals() {
        stopRequested = 0;
        struct sigaction action {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

// The alternate screen with a hidden cursor for as long as it lives.
class FullScreen {
public:
    explicit FullScreen(std::ostream& out) : out_(out) {
        out_ << "\x1b[?1049h\x1b[?25l\x1b[2J" << std::flush;
    }
    ~FullScreen() { out_ << "\x1b[?25h\x1b[?1049l" << std::flush; }
    FullScreen(const FullScreen&) = delete;
    FullScreen& operator=(const FullScreen&) = delete;

private:
    std::ostream& out_;
};

Json spectrumJson(const std::optional<SpectrumBands>& spectrum) {
    if (!spectrum) {
        return {};
    }
    Json bands = Json::array();
    for (const int value : *spectrum) {
        bands.push(value);
    }
    return bands;
}

// The loop; false when the connection failed.
bool watchLoop(Context& context, bool terminal) {
    Session& session = context.session();
    Output& output = context.output();
    const std::string server =
        context.options().host + ":" + std::to_string(context.options().port);
    WatchModel model;
    auto lastDraw = WatchModel::Clock::time_point{};
    bool dirty = true;
    const auto printLine = [&](WatchModel::Clock::time_point now) {
        if (output.json()) {
            output.emit(Json::object()
                            .set("status", statusJson(session.status()))
                            .set("spectrum", spectrumJson(model.spectrum(now))));
        } else {
            output.out() << watchLine(session.status(), model.spectrum(now)) << std::endl;
        }
    };
    if (!terminal) {
        printLine(WatchModel::Clock::now());
    }
    while (stopRequested == 0) {
        net::CNDKMessage message;
        const auto wait = session.poll(message, kPollInterval);
        if (wait == BlockingConnection::Wait::Failed) {
            return false;
        }
        const auto now = WatchModel::Clock::now();
        if (wait == BlockingConnection::Wait::Message) {
            dirty = model.apply(message, now) || session.tracker().pushEnded() || dirty;
            if (!terminal && session.tracker().pushEnded()) {
                printLine(now);
            }
        }
        dirty = model.spectrumExpired(now) || dirty;
        if (terminal && dirty && now - lastDraw >= kFrameInterval) {
            output.out() << renderWatchScreen(server, session.status(), model.spectrum(now),
                                              model.lastEvent())
                         << std::flush;
            lastDraw = now;
            dirty = false;
        }
    }
    return true;
}

} // namespace

int runWatch(Context& context) {
    if (auto rc = context.expectArguments(0, 0)) {
        return *rc;
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    StopSignals signals;
    const bool terminal = !context.output().json() && ::isatty(STDOUT_FILENO) == 1;
    bool connected = true;
    {
        std::optional<FullScreen> screen;
        if (terminal) {
            screen.emplace(context.output().out());
        }
        connected = watchLoop(context, terminal);
    }
    return connected ? 0 : context.failSession();
}

} // namespace tembrel::client
