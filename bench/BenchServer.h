// What the end-to-end benchmarks share: a scratch folder, generated audio, a
// view that shows nothing, and running client work on a thread while the
// server's event loop runs on the main thread.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include <QEventLoop>
#include <QMetaObject>

#include "remote/ServerView.h"

namespace tembrel::bench {

class SilentView final : public remote::ServerView {
public:
    void logLineAppended(std::string_view) override {}
    void userListChanged(const std::vector<std::string>&, int) override {}
    void statusLineChanged(std::string_view) override {}
    void hostingChanged(bool) override {}
    void showNotice(std::string_view, std::string_view, NoticeKind) override {}
    void portIntegerRequired() override {}
    void spectrumCheckChanged(int) override {}
    void fieldsChanged() override {}
};

// A fresh folder under the temp folder, removed with its content; empty
// path() when it could not be made.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tembrel-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const noexcept { return path_; }

private:
    std::filesystem::path path_;
};

// An untagged 440 Hz MP3 of `seconds` written by the ffmpeg CLI.
[[nodiscard]] inline bool makeToneMp3(const std::filesystem::path& file, int seconds) {
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                                "sine=frequency=440:duration=" +
                                std::to_string(seconds) +
                                " -ac 2 -ar 44100 -c:a libmp3lame -b:a 128k -id3v2_version 0 "
                                "-write_xing 0 '" +
                                file.string() + "'";
    return std::system(command.c_str()) == 0;
}

// Runs `work` on a thread of its own while the main thread's event loop
// serves, and returns what it returned.
template <typename Work>
auto whileServing(Work work) {
    QEventLoop loop;
    decltype(work()) result{};
    std::thread worker([&] {
        result = work();
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return result;
}

} // namespace tembrel::bench
