// watch: the live screen of status and spectrum, redrawn as the server's
// broadcasts arrive, with keys for the transport, until q or Ctrl-C (or
// SIGTERM); it joins again when the server restarts.
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <thread>

#include "Commands.h"
#include "StatusFormat.h"
#include "WatchKeys.h"
#include "WatchScreen.h"
#include "protocol/Messages.h"

namespace tembrel::client {

namespace {

using namespace std::chrono_literals;

// Redraw at most this often; the spectrum may stream at 60 frames a second.
constexpr auto kFrameInterval = 33ms;
constexpr auto kPollInterval = 50ms;
// After the server went away, a new join is tried this often.
constexpr auto kReconnectInterval = 1s;

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

[[nodiscard]] ScreenSize terminalSize() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
        return ScreenSize{};
    }
    return ScreenSize{size.ws_col, size.ws_row};
}

// The live view: draws (or prints lines), sends what the keys ask for, and
// joins again when the server goes away, until Ctrl-C or q.
class WatchLoop {
public:
    WatchLoop(Context& context, bool terminal, KeyReader& keys)
        : context_(context), terminal_(terminal), keys_(keys),
          server_(context.options().host + ":" + std::to_string(context.options().port)) {}

    void run() {
        if (!terminal_) {
            printLine(WatchModel::Clock::now());
        }
        while (stopRequested == 0 && !quit_) {
            if (!connected_) {
                reconnect();
                continue;
            }
            handleKeys();
            net::CNDKMessage message;
            const auto wait = context_.session().poll(message, kPollInterval);
            if (wait == BlockingConnection::Wait::Failed) {
                lost();
                continue;
            }
            const auto now = WatchModel::Clock::now();
            if (wait == BlockingConnection::Wait::Message) {
                const bool ended = context_.session().tracker().pushEnded();
                dirty_ = model_.apply(message, now) || ended || dirty_;
                if (!terminal_ && ended) {
                    printLine(now);
                }
            }
            dirty_ = model_.spectrumExpired(now) || dirty_;
            draw(now);
        }
    }

private:
    void handleKeys() {
        for (const char key : keys_.pending()) {
            const auto action = watchAction(key);
            if (!action) {
                continue;
            }
            if (*action == WatchAction::Quit) {
                quit_ = true;
                return;
            }
            const auto command = actionCommand(*action, context_.session().status().state);
            if (!context_.session().send(protocol::commandTextMessage(command))) {
                lost();
                return;
            }
        }
    }

    void lost() {
        connected_ = false;
        const std::string& reason = context_.session().failure().message;
        announce("Connection to " + server_ + " lost" +
                 (reason.empty() ? std::string() : " (" + reason + ")") + "; reconnecting...");
    }

    void reconnect() {
        // Waits in short steps, so Ctrl-C and q still answer at once.
        const auto retryAt = WatchModel::Clock::now() + kReconnectInterval;
        while (stopRequested == 0 && !quit_ && WatchModel::Clock::now() < retryAt) {
            for (const char key : keys_.pending()) {
                quit_ = quit_ || watchAction(key) == WatchAction::Quit;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
        if (stopRequested == 0 && !quit_ && context_.rejoin()) {
            connected_ = true;
            announce("Reconnected to " + server_);
        }
    }

    // A line about the connection: on the screen's event line, or on its own
    // line when the output is not a terminal.
    void announce(const std::string& line) {
        if (terminal_) {
            model_.note(line);
            dirty_ = true;
            lastDraw_ = {};
            draw(WatchModel::Clock::now());
        } else {
            context_.output().err() << line << std::endl;
        }
    }

    void draw(WatchModel::Clock::time_point now) {
        if (!terminal_) {
            return;
        }
        const ScreenSize size = terminalSize();
        const bool resized = size.columns != size_.columns || size.rows != size_.rows;
        size_ = size;
        if ((dirty_ || resized) && now - lastDraw_ >= kFrameInterval) {
            context_.output().out()
                << renderWatchScreen(server_, context_.session().status(), model_.spectrum(now),
                                     model_.lastEvent(), size_)
                << std::flush;
            lastDraw_ = now;
            dirty_ = false;
        }
    }

    void printLine(WatchModel::Clock::time_point now) {
        Output& output = context_.output();
        const PlayerStatus& status = context_.session().status();
        if (output.json()) {
            output.emit(Json::object()
                            .set("status", statusJson(status))
                            .set("spectrum", spectrumJson(model_.spectrum(now))));
        } else {
            output.out() << watchLine(status, model_.spectrum(now)) << std::endl;
        }
    }

    Context& context_;
    bool terminal_;
    KeyReader& keys_;
    std::string server_;
    WatchModel model_;
    ScreenSize size_;
    WatchModel::Clock::time_point lastDraw_{};
    bool dirty_ = true;
    bool connected_ = true;
    bool quit_ = false;
};

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
    KeyReader keys(STDIN_FILENO);
    std::optional<FullScreen> screen;
    if (terminal) {
        screen.emplace(context.output().out());
    }
    WatchLoop(context, terminal, keys).run();
    return 0;
}

} // namespace tembrel::client
