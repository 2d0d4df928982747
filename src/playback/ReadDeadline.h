// A time after which the file reads made on this thread give up, as if the
// file ended there. Workers reading files ahead set one, so that a huge or
// strange file (gigabytes of zeros that the readers search for a frame)
// frees its worker, and lets the server stop, in bounded time. Reads on any
// other thread have none.
#pragma once

#include <chrono>

namespace tembrel::playback {

class ReadDeadline {
public:
    using Clock = std::chrono::steady_clock;

    // Sets the deadline `budget` from now for this thread until destroyed.
    explicit ReadDeadline(Clock::duration budget) noexcept;
    ~ReadDeadline();
    ReadDeadline(const ReadDeadline&) = delete;
    ReadDeadline& operator=(const ReadDeadline&) = delete;

    // Whether this thread's deadline has passed.
    [[nodiscard]] static bool passed() noexcept;

private:
    Clock::time_point previous_;
};

} // namespace tembrel::playback
