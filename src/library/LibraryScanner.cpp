// The scan worker and the hand-over of its log lines and result.
#include "library/LibraryScanner.h"

#include <QMetaObject>

#include <string>

namespace tembrel::library {

LibraryScanner::LibraryScanner(LogSink log)
    : log_(std::move(log)), ownerThread_(std::make_unique<QObject>()) {}

LibraryScanner::~LibraryScanner() {
    cancel();
}

void LibraryScanner::finishJob() {
    if (!job_) {
        return;
    }
    // The scan looks at the flag before every folder, so the wait is short.
    job_->stop.store(true, std::memory_order_relaxed);
    if (job_->worker.joinable()) {
        job_->worker.join();
    }
    job_.reset();
}

void LibraryScanner::cancel() {
    ++generation_;
    scanning_ = false;
    finishJob();
}

void LibraryScanner::post(std::uint64_t generation, std::function<void()> call) {
    QMetaObject::invokeMethod(
        ownerThread_.get(),
        [this, generation, call = std::move(call)] {
            if (generation == generation_) {
                call();
            }
        },
        Qt::QueuedConnection);
}

void LibraryScanner::start(const CMediaLibrary::Locations& locations, const AudioFormats& formats,
                           Finished finished) {
    cancel();
    const std::uint64_t generation = generation_;
    scanning_ = true;
    job_ = std::make_unique<Job>();
    Job& job = *job_;
    job.worker = std::thread(
        [this, &job, generation, locations, formats, finished = std::move(finished)]() mutable {
            auto scanned = std::make_shared<CMediaLibrary>();
            scanned->setFormats(formats);
            scanned->setStopFlag(&job.stop);
            scanned->setLogSink([this, generation](std::string_view line) {
                post(generation, [this, text = std::string(line)] {
                    if (log_) {
                        log_(text);
                    }
                });
            });
            scanned->buildLibrary(locations);
            scanned->setLogSink({});
            scanned->setStopFlag(nullptr);
            if (job.stop.load(std::memory_order_relaxed)) {
                return;
            }
            post(generation, [this, scanned, finished = std::move(finished)] {
                scanning_ = false;
                finished(*scanned);
            });
        });
}

} // namespace tembrel::library
