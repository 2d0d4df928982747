// Non-blocking writes into a named pipe whose reader comes and goes.
#include "playback/FifoWriter.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tembrel::playback {

namespace {

constexpr mode_t kPipeMode = 0666; // narrowed by the umask; the reader is often another user

[[nodiscard]] std::string errorText(int error) {
    return std::strerror(error);
}

// A write to a pipe without a reader raised SIGPIPE, blocked in this thread:
// take it off the pending set so that it is never delivered.
void discardBrokenPipeSignal() noexcept {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    const timespec noWait{};
    while (sigtimedwait(&set, nullptr, &noWait) == SIGPIPE) {
    }
}

} // namespace

std::optional<std::string> FifoWriter::prepare(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISFIFO(status.st_mode)) {
            return std::nullopt;
        }
        return path + " exists and is not a named pipe, so it is left alone";
    }
    if (errno != ENOENT) {
        return "cannot use " + path + ": " + errorText(errno);
    }
    if (::mkfifo(path.c_str(), kPipeMode) != 0 && errno != EEXIST) {
        return "cannot create the named pipe " + path + ": " + errorText(errno);
    }
    return std::nullopt;
}

void FifoWriter::blockBrokenPipeSignal() noexcept {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

FifoWriter::FifoWriter(std::string path, std::size_t frameBytes, Log log)
    : path_(std::move(path)), frameBytes_(std::clamp<std::size_t>(frameBytes, 1, kMaxFrameBytes)),
      log_(std::move(log)) {}

FifoWriter::~FifoWriter() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void FifoWriter::readerFound() {
    present_ = true;
    missingSince_.reset();
    report(Reader::Present);
}

void FifoWriter::readerMissing(std::string_view problem) {
    const auto now = Clock::now();
    if (present_) {
        discardUnread();
        carryBytes_ = 0;
    }
    present_ = false;
    if (!missingSince_) {
        missingSince_ = now;
    }
    if (!problem.empty() || now - *missingSince_ >= kAbsenceGrace) {
        report(Reader::Absent, problem);
    }
}

void FifoWriter::report(Reader reader, std::string_view problem) {
    if (reader == reported_) {
        return;
    }
    reported_ = reader;
    if (!log_) {
        return;
    }
    if (reader == Reader::Present) {
        log_("Snapcast: a reader opened " + path_ + "; the music goes to it");
        return;
    }
    std::string line = "Snapcast: nobody reads " + path_;
    if (!problem.empty()) {
        line += " (";
        line += problem;
        line += ")";
    }
    log_(line + "; the music plays on and is dropped until a reader opens the pipe");
}

void FifoWriter::discardUnread() const noexcept {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    std::array<std::uint8_t, 4096> sink{};
    while (::read(fd, sink.data(), sink.size()) > 0) {
    }
    ::close(fd);
}

int FifoWriter::openPipe(std::string& problem) const {
    if (auto refused = prepare(path_)) { // removed meanwhile: made again
        problem = *refused;
        return -1;
    }
    // A non-blocking open for writing fails unless a reader holds the pipe,
    // and Snapcast's pipe reader only stays while a writer does: hold a
    // reading end for the moment the writing end opens, then let it go.
    const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    const int openError = errno;
    if (reader >= 0) {
        ::close(reader);
    }
    if (fd < 0) {
        problem = errorText(openError);
        return -1;
    }
    // The path may have been replaced since it was checked: never write into
    // anything but a pipe.
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISFIFO(status.st_mode)) {
        ::close(fd);
        problem = path_ + " is no longer a named pipe";
        return -1;
    }
    return fd;
}

bool FifoWriter::open(Clock::time_point now) {
    if (fd_ >= 0) {
        return true;
    }
    if (now < nextAttempt_) {
        return false;
    }
    nextAttempt_ = now + kOpenRetry;
    std::string problem;
    fd_ = openPipe(problem);
    if (fd_ < 0) {
        readerMissing(problem);
    }
    return fd_ >= 0;
}

std::size_t FifoWriter::queued() const noexcept {
    int bytes = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &bytes) != 0 || bytes < 0) {
        return 0;
    }
    return static_cast<std::size_t>(bytes);
}

std::optional<std::size_t> FifoWriter::writeSome(std::span<const std::uint8_t> bytes) {
    for (;;) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written >= 0) {
            readerFound();
            return static_cast<std::size_t>(written);
        }
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error == EAGAIN) {
            readerFound();
            return 0; // the reader is behind: the rest is dropped
        }
        if (error == EPIPE) {
            discardBrokenPipeSignal();
        }
        // The writing end stays open: a reader that opens the pipe later
        // makes the next write succeed.
        readerMissing(error == EPIPE ? std::string{} : errorText(error));
        return std::nullopt;
    }
}

void FifoWriter::write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0 || bytes.empty()) {
        return;
    }
    if (carryBytes_ > 0) {
        const auto written = writeSome(std::span(carry_.data(), carryBytes_));
        if (!written) {
            return;
        }
        std::copy(carry_.begin() + static_cast<std::ptrdiff_t>(*written),
                  carry_.begin() + static_cast<std::ptrdiff_t>(carryBytes_), carry_.begin());
        carryBytes_ -= *written;
        if (carryBytes_ > 0) {
            return; // still full: these bytes are dropped whole
        }
    }
    const auto written = writeSome(bytes);
    if (!written || *written == bytes.size()) {
        return;
    }
    const std::size_t cut = *written % frameBytes_;
    if (cut > 0) {
        carryBytes_ = frameBytes_ - cut;
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(*written), carryBytes_,
                    carry_.begin());
    }
}

} // namespace tembrel::playback
