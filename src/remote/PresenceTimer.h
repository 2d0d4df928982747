// The single-shot timer of a broadcaster, which runs only while some user is
// connected to receive what it sends: with nobody there it stays stopped and
// the process is not woken for nothing.
#pragma once

#include <QTimer>

#include <functional>

namespace tembrel::remote {

class PresenceTimer {
public:
    PresenceTimer(Qt::TimerType type, std::function<void()> expired) {
        timer_.setSingleShot(true);
        timer_.setTimerType(type);
        QObject::connect(&timer_, &QTimer::timeout, std::move(expired));
    }

    void stop() { timer_.stop(); }
    // Starts a period unless one runs already or nobody is connected.
    void startIfIdle(int periodMs) {
        if (usersPresent_ && !timer_.isActive()) {
            timer_.start(periodMs);
        }
    }
    // With nobody connected the timer stops; the owner re-arms it when
    // someone connects.
    void setUsersPresent(bool present) {
        usersPresent_ = present;
        if (!present) {
            timer_.stop();
        }
    }

private:
    QTimer timer_;
    bool usersPresent_ = false;
};

} // namespace tembrel::remote
