// Runs library scans on a worker thread so the thread that serves users never
// waits for the file system. Log lines and the finished library come back as
// queued calls on the thread that created the scanner (it must run an event
// loop); a scan that was cancelled or overtaken by a newer one delivers
// nothing more.
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <thread>

#include "library/CMediaLibrary.h"

namespace tembrel::library {

class LibraryScanner {
public:
    using LogSink = std::function<void(std::string_view line)>;
    using Finished = std::function<void(CMediaLibrary& scanned)>;

    explicit LibraryScanner(LogSink log);
    ~LibraryScanner();
    LibraryScanner(const LibraryScanner&) = delete;
    LibraryScanner& operator=(const LibraryScanner&) = delete;

    // Starts a scan of `locations` into a new library, cancelling any scan
    // still running. `finished` gets the complete library.
    void start(const CMediaLibrary::Locations& locations, const AudioFormats& formats,
               Finished finished);
    // Stops a running scan; its result and its remaining log lines are dropped.
    void cancel();
    [[nodiscard]] bool isScanning() const noexcept { return scanning_; }

private:
    struct Job {
        std::atomic<bool> stop{false};
        std::thread worker;
    };

    // Runs `call` on the owner's thread unless the scan `generation` is no
    // longer the current one by then.
    void post(std::uint64_t generation, std::function<void()> call);
    void finishJob();

    LogSink log_;
    std::unique_ptr<QObject> ownerThread_; // receives the queued calls
    std::unique_ptr<Job> job_;
    std::uint64_t generation_ = 0; // owner thread only
    bool scanning_ = false;        // owner thread only
};

} // namespace tembrel::library
