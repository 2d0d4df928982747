// Runs ffmpeg and lame to make the test audio described by a ToneSpec.
#include "support/AudioFixtures.h"

#include <QStringList>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

namespace tembrel::test {

namespace fs = std::filesystem;

namespace {

constexpr auto kToolTimeout = std::chrono::seconds(60);
constexpr auto kToolPollInterval = std::chrono::milliseconds(5);

QString q(const std::string& text) {
    return QString::fromStdString(text);
}
QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Runs a tool with posix_spawn, its output discarded. (QProcess starts the
// child with a shared address space, which thread sanitizer runs cannot follow.)
bool run(const QString& program, const QStringList& arguments) {
    std::vector<std::string> words{program.toStdString()};
    for (const QString& argument : arguments) {
        words.push_back(argument.toStdString());
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kToolTimeout;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(kToolPollInterval);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool hasNonAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) {
            return true;
        }
    }
    return false;
}

// The ffmpeg input options producing the tone (or silence) described by `tone`.
QStringList sourceArguments(const ToneSpec& tone) {
    const QString duration = QString::number(tone.seconds, 'f', 3);
    const QString rate = QString::number(tone.sampleRate);
    // Every channel is generated at full scale: letting ffmpeg upmix a mono
    // source would lower each channel by 3 dB.
    const QString layout = QStringLiteral("%1c").arg(tone.channels);
    QString source;
    if (tone.silent) {
        source = QStringLiteral("anullsrc=r=%1:cl=%2:d=%3").arg(rate, layout, duration);
    } else {
        source = QStringLiteral("aevalsrc=sin(2*PI*%1*t):s=%2:d=%3:c=%4")
                     .arg(QString::number(tone.frequencyHz), rate, duration, layout);
    }
    return {QStringLiteral("-loglevel"),
            QStringLiteral("error"),
            QStringLiteral("-y"),
            QStringLiteral("-f"),
            QStringLiteral("lavfi"),
            QStringLiteral("-i"),
            source,
            QStringLiteral("-ac"),
            QString::number(tone.channels)};
}

void addMetadata(QStringList& arguments, const char* key, const std::string& value) {
    if (!value.empty()) {
        arguments << QStringLiteral("-metadata") << QStringLiteral("%1=%2").arg(key, q(value));
    }
}

bool makeId3v1OnlyMp3(const fs::path& file, const ToneSpec& tone) {
    const fs::path wav = fs::path(file).concat(".source.wav");
    QStringList encode = sourceArguments(tone);
    encode << q(wav);
    bool ok = run(QStringLiteral("ffmpeg"), encode);
    if (ok) {
        QStringList lame{QStringLiteral("--quiet"), QStringLiteral("-b"),
                         QString::number(tone.bitrateKbps), QStringLiteral("--id3v1-only")};
        const auto addTag = [&lame](const char* option, const std::string& value) {
            if (!value.empty()) {
                lame << QString::fromLatin1(option) << q(value);
            }
        };
        addTag("--tt", tone.title);
        addTag("--ta", tone.artist);
        addTag("--tl", tone.album);
        lame << q(wav) << q(file);
        ok = run(QStringLiteral("lame"), lame);
    }
    std::error_code ignored;
    fs::remove(wav, ignored);
    return ok;
}

} // namespace

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("tembrel-test-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = std::move(candidate);
            return;
        }
    }
    std::abort(); // no temp folder can be made: nothing in the tests could work
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string mp3Title(const ToneSpec& tone) {
    if (tone.tags == TagStyle::Id3v2Utf16Title && !hasNonAscii(tone.title)) {
        return tone.title + " \xc3\xa9";
    }
    return tone.title;
}

bool makeMp3(const fs::path& file, const ToneSpec& tone) {
    if (tone.tags == TagStyle::Id3v1Only) {
        return makeId3v1OnlyMp3(file, tone);
    }
    QStringList arguments = sourceArguments(tone);
    arguments << QStringLiteral("-c:a") << QStringLiteral("libmp3lame") << QStringLiteral("-b:a")
              << QStringLiteral("%1k").arg(tone.bitrateKbps) << QStringLiteral("-map_metadata")
              << QStringLiteral("-1");
    switch (tone.tags) {
    case TagStyle::None:
        arguments << QStringLiteral("-id3v2_version") << QStringLiteral("0");
        break;
    case TagStyle::Id3v2AndV1:
        arguments << QStringLiteral("-id3v2_version") << QStringLiteral("3")
                  << QStringLiteral("-write_id3v1") << QStringLiteral("1");
        break;
    case TagStyle::Id3v2Utf16Title:
    case TagStyle::Id3v1Only:
        arguments << QStringLiteral("-id3v2_version") << QStringLiteral("3");
        break;
    }
    if (tone.tags != TagStyle::None) {
        addMetadata(arguments, "title", mp3Title(tone));
        addMetadata(arguments, "artist", tone.artist);
        addMetadata(arguments, "album", tone.album);
    }
    arguments << QStringLiteral("-f") << QStringLiteral("mp3") << q(file);
    return run(QStringLiteral("ffmpeg"), arguments);
}

bool makeWma(const fs::path& file, const ToneSpec& tone) {
    QStringList arguments = sourceArguments(tone);
    arguments << QStringLiteral("-c:a") << QStringLiteral("wmav2") << QStringLiteral("-b:a")
              << QStringLiteral("%1k").arg(tone.bitrateKbps) << QStringLiteral("-map_metadata")
              << QStringLiteral("-1");
    addMetadata(arguments, "title", tone.title);
    addMetadata(arguments, "artist", tone.artist);
    addMetadata(arguments, "album", tone.album);
    arguments << QStringLiteral("-f") << QStringLiteral("asf") << q(file);
    return run(QStringLiteral("ffmpeg"), arguments);
}

bool writeFile(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace tembrel::test
