// Reading and writing the kept playlist: a small line-based text file whose
// texts are percent-encoded, so any byte of a path or tag survives.
#include "shell/PlaylistStateFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

#include <charconv>
#include <cstdlib>
#include <system_error>

namespace tembrel::shell {

namespace {

constexpr const char* kHeader = "tembrel-server playlist 1";
constexpr const char* kEnd = "end";
constexpr int kEntryFields = 5;
// A position beyond a day is not one this server produced.
constexpr std::int64_t kMaxPositionMs = std::int64_t{24} * 60 * 60 * 1000;

[[nodiscard]] QByteArray encode(const std::string& text) {
    return QByteArray::fromStdString(text).toPercentEncoding();
}

[[nodiscard]] std::string decode(const QByteArray& field) {
    return QByteArray::fromPercentEncoding(field).toStdString();
}

[[nodiscard]] const char* stateWord(SavedPlaylist::State state) noexcept {
    switch (state) {
    case SavedPlaylist::State::Playing:
        return "playing";
    case SavedPlaylist::State::Paused:
        return "paused";
    case SavedPlaylist::State::Stopped:
        break;
    }
    return "stopped";
}

[[nodiscard]] std::optional<std::int64_t> number(const QByteArray& text, std::int64_t max) {
    std::int64_t value = -1;
    const char* end = text.constData() + text.size();
    const auto [last, ec] = std::from_chars(text.constData(), end, value);
    if (ec != std::errc{} || last != end || value < 0 || value > max) {
        return std::nullopt;
    }
    return value;
}

// What the file says, before the entries' files are checked.
struct ParsedFile {
    SavedPlaylist playlist;
    bool complete = false;
};

void parseLine(const QByteArray& line, ParsedFile& parsed) {
    SavedPlaylist& p = parsed.playlist;
    const qsizetype space = line.indexOf(' ');
    const QByteArray key = space < 0 ? line : line.left(space);
    const QByteArray value = space < 0 ? QByteArray() : line.mid(space + 1);
    if (key == kEnd) {
        parsed.complete = true;
    } else if (key == "entry") {
        const QList<QByteArray> fields = value.split(' ');
        if (fields.size() != kEntryFields || p.entries.size() >= PlaylistStateFile::kMaxEntries) {
            return;
        }
        SavedPlaylist::Entry entry{decode(fields[0]), decode(fields[1]), decode(fields[2]),
                                   decode(fields[3]), decode(fields[4])};
        if (std::filesystem::path(entry.path).is_absolute()) {
            p.entries.push_back(std::move(entry));
        }
    } else if (key == "state") {
        if (value == "playing") {
            p.state = SavedPlaylist::State::Playing;
        } else if (value == "paused") {
            p.state = SavedPlaylist::State::Paused;
        } else {
            p.state = SavedPlaylist::State::Stopped;
        }
    } else if (key == "current") {
        p.current = static_cast<int>(number(value, PlaylistStateFile::kMaxEntries - 1).value_or(0));
    } else if (key == "position") {
        p.positionMs = number(value, kMaxPositionMs).value_or(0);
    } else if (key == "shuffle") {
        p.shuffle = value == "1";
    } else if (key == "repeat") {
        p.repeat = value == "1";
    }
    // Anything else is skipped: garbage, or a line a later version added.
}

[[nodiscard]] bool stillThere(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    return info.isFile() && info.isReadable();
}

// Drops the entries whose file has gone; the current entry keeps its place
// among those left, or playback starts over, stopped, at the next one left.
[[nodiscard]] SavedPlaylist keepExistingEntries(const SavedPlaylist& saved) {
    SavedPlaylist result = saved;
    result.entries.clear();
    std::optional<int> current;
    bool currentKept = false;
    for (std::size_t i = 0; i < saved.entries.size(); ++i) {
        if (!stillThere(saved.entries[i].path)) {
            continue;
        }
        const int index = static_cast<int>(i);
        if (!current && index >= saved.current) {
            current = static_cast<int>(result.entries.size());
            currentKept = index == saved.current;
        }
        result.entries.push_back(saved.entries[i]);
    }
    if (!currentKept) {
        result.positionMs = 0;
        result.state = SavedPlaylist::State::Stopped;
    }
    result.current = current.value_or(0);
    return result;
}

} // namespace

PlaylistStateFile::PlaylistStateFile(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path PlaylistStateFile::defaultPath() {
    std::filesystem::path base;
    // The XDG rules ignore a relative value.
    if (const char* state = std::getenv("XDG_STATE_HOME");
        state != nullptr && std::filesystem::path(state).is_absolute()) {
        base = state;
    } else {
        base = std::filesystem::path(QDir::homePath().toStdString()) / ".local" / "state";
    }
    return base / "tembrel-server" / "playlist";
}

bool PlaylistStateFile::save(const SavedPlaylist& playlist, std::string* error) const {
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    QSaveFile out(QString::fromStdString(file_.string()));
    if (!out.open(QIODevice::WriteOnly)) {
        if (error != nullptr) {
            *error = out.errorString().toStdString();
        }
        return false;
    }
    QByteArray text;
    text += kHeader;
    text += "\nstate ";
    text += stateWord(playlist.state);
    text += "\ncurrent " + QByteArray::number(playlist.current);
    text += "\nposition " + QByteArray::number(static_cast<qlonglong>(playlist.positionMs));
    text += playlist.shuffle ? "\nshuffle 1" : "\nshuffle 0";
    text += playlist.repeat ? "\nrepeat 1" : "\nrepeat 0";
    for (std::size_t i = 0; i < playlist.entries.size() && i < kMaxEntries; ++i) {
        const SavedPlaylist::Entry& e = playlist.entries[i];
        text += "\nentry " + encode(e.path) + ' ' + encode(e.title) + ' ' + encode(e.album) + ' ' +
                encode(e.artist) + ' ' + encode(e.length);
    }
    text += '\n';
    text += kEnd;
    text += '\n';
    // commit() writes to a temporary file, flushes it and renames it over.
    if (out.write(text) != text.size() || !out.commit()) {
        if (error != nullptr) {
            *error = out.errorString().toStdString();
        }
        return false;
    }
    return true;
}

std::optional<SavedPlaylist> PlaylistStateFile::load() const {
    QFile in(QString::fromStdString(file_.string()));
    if (!in.open(QIODevice::ReadOnly) || in.size() > static_cast<qint64>(kMaxFileBytes)) {
        return std::nullopt;
    }
    const QByteArray text = in.read(static_cast<qint64>(kMaxFileBytes));
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.front() != kHeader) {
        return std::nullopt;
    }
    ParsedFile parsed;
    for (qsizetype i = 1; i < lines.size() && !parsed.complete; ++i) {
        if (static_cast<std::size_t>(lines[i].size()) <= kMaxLineBytes) {
            parseLine(lines[i], parsed);
        }
    }
    // Without its last line the file was cut short: the entry before the cut
    // may be cut as well, so none of it is trusted.
    if (!parsed.complete) {
        return std::nullopt;
    }
    return keepExistingEntries(parsed.playlist);
}

void PlaylistStateFile::remove() const {
    std::error_code ec;
    std::filesystem::remove(file_, ec);
}

} // namespace tembrel::shell
