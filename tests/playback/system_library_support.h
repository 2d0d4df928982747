// Helpers for the tests of the real sound library: a started library on the
// silent output and a bounded wait that keeps the Qt event loop running.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "playback/SystemSoundLibrary.h"

namespace tembrel::test {

// Runs queued calls and timers until `done` holds or `timeout` passes.
inline bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline void pumpFor(std::chrono::milliseconds duration) {
    static_cast<void>(pumpUntil([] { return false; }, duration));
}

// The real library, initialised as the sound engine does, on the silent output.
inline std::unique_ptr<playback::SoundLibrary> startedSilentLibrary() {
    auto library = playback::createSystemSoundLibrary(playback::AudioOutput::Null);
    EXPECT_TRUE(library->init(44100, 32, 0)) << "error " << library->lastError();
    library->setStreamBufferSize(1000);
    library->setSpectrumActive(true);
    return library;
}

} // namespace tembrel::test
