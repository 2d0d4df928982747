// The file-read deadline of the calling thread.
#include "playback/ReadDeadline.h"

namespace tembrel::playback {

namespace {

thread_local ReadDeadline::Clock::time_point deadline = ReadDeadline::Clock::time_point::max();

} // namespace

ReadDeadline::ReadDeadline(Clock::duration budget) noexcept : previous_(deadline) {
    deadline = Clock::now() + budget;
}

ReadDeadline::~ReadDeadline() {
    deadline = previous_;
}

bool ReadDeadline::passed() noexcept {
    return deadline != Clock::time_point::max() && Clock::now() >= deadline;
}

} // namespace tembrel::playback
