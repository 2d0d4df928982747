// Work that may block on files (reading tags, opening audio files, reading
// pictures) runs on worker threads; its end runs back on the main thread, so
// no client can stall the event loop with a strange or huge file. While work
// for a user is under way, that user's input is held at the host, so its
// replies keep the order of its messages while everyone else is served.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>

#include <QObject>
#include <QThreadPool>

namespace tembrel::remote {

class FileWork {
public:
    // Worker threads: one strange file keeps one of them busy, the other
    // still serves everyone else.
    static constexpr int kWorkerThreads = 2;

    struct Callbacks {
        // Holds or releases the user's input at the host.
        std::function<void(std::int32_t userId)> holdInput;
        std::function<void(std::int32_t userId)> releaseInput;
    };

    explicit FileWork(Callbacks callbacks);
    // Waits for the work under way; what it would have done afterwards is dropped.
    ~FileWork();
    FileWork(const FileWork&) = delete;
    FileWork& operator=(const FileWork&) = delete;

    // Runs `job` on a worker, then `then` on the main thread; the user waits
    // for both. A user of 0 is the server itself: nobody waits.
    void run(std::int32_t userId, std::function<void()> job, std::function<void()> then = {});
    // Whether work for the user is under way.
    [[nodiscard]] bool busy(std::int32_t userId) const;
    // A step of a busy user's command that must follow its work, before any
    // later message of that user.
    void afterWork(std::int32_t userId, std::function<void()> step);
    // The user has gone: nothing of it waits any more.
    void forget(std::int32_t userId) { users_.erase(userId); }
    // The server stops: nothing waits, and the ends of the work under way are
    // not run.
    void cancelAll();

private:
    struct UserWork {
        int running = 0;
        std::deque<std::function<void()>> steps; // of the command under way
    };

    void finished(std::int32_t userId, std::uint64_t generation, const std::function<void()>& then);
    // Runs the steps that waited until the user is busy again or none is
    // left; then the user's input is released.
    void resume(std::int32_t userId);

    Callbacks callbacks_;
    std::map<std::int32_t, UserWork> users_;
    std::uint64_t generation_ = 0;
    // Receives the ends of work; declared before the pool, whose destruction
    // waits for the workers, so it outlives every job.
    QObject mainThread_;
    QThreadPool pool_;
};

} // namespace tembrel::remote
