// Blocking file work on worker threads, per-user order kept on the main thread.
#include "remote/FileWork.h"

namespace tembrel::remote {

FileWork::FileWork(Callbacks callbacks) : callbacks_(std::move(callbacks)) {
    pool_.setMaxThreadCount(kWorkerThreads);
}

FileWork::~FileWork() {
    pool_.clear();
    pool_.waitForDone();
}

void FileWork::run(std::int32_t userId, std::function<void()> job, std::function<void()> then) {
    if (userId != 0) {
        UserWork& work = users_[userId];
        if (work.running++ == 0) {
            callbacks_.holdInput(userId);
        }
    }
    const std::uint64_t generation = generation_;
    pool_.start([this, userId, generation, job = std::move(job), then = std::move(then)] {
        job();
        QMetaObject::invokeMethod(
            &mainThread_, [this, userId, generation, then] { finished(userId, generation, then); },
            Qt::QueuedConnection);
    });
}

void FileWork::finished(std::int32_t userId, std::uint64_t generation,
                        const std::function<void()>& then) {
    if (generation != generation_) {
        return;
    }
    if (then) {
        then();
    }
    const auto found = users_.find(userId);
    if (found == users_.end()) {
        return;
    }
    --found->second.running;
    resume(userId);
}

bool FileWork::busy(std::int32_t userId) const {
    const auto found = users_.find(userId);
    return found != users_.end() && found->second.running > 0;
}

void FileWork::afterWork(std::int32_t userId, std::function<void()> step) {
    users_[userId].steps.push_back(std::move(step));
}

void FileWork::cancelAll() {
    ++generation_;
    pool_.clear();
    for (const auto& [userId, work] : users_) {
        callbacks_.releaseInput(userId);
    }
    users_.clear();
}

void FileWork::resume(std::int32_t userId) {
    for (;;) {
        const auto found = users_.find(userId);
        if (found == users_.end()) {
            return;
        }
        UserWork& work = found->second;
        if (work.running > 0) {
            return;
        }
        if (!work.steps.empty()) {
            const std::function<void()> step = std::move(work.steps.front());
            work.steps.pop_front();
            step();
        } else {
            users_.erase(found);
            callbacks_.releaseInput(userId);
            return;
        }
    }
}

} // namespace tembrel::remote
