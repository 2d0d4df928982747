// Case-insensitive search over the library's names, listed with the numbers
// that browse and queue each match.
#include "remote/LibrarySearch.h"

#include <QString>

#include <algorithm>
#include <vector>

#include "protocol/ProtocolConstants.h"
#include "protocol/Replies.h"
#include "remote/BrowseSelection.h"

namespace tembrel::remote {

namespace {

using library::CMediaLibrary;

constexpr char kLineBreak = '\n';

[[nodiscard]] bool isAscii(std::string_view text) noexcept {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

[[nodiscard]] char lowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text to look for, kept in both forms: ASCII names are compared byte by
// byte (no allocation), others through Qt's Unicode case folding.
class Needle {
public:
    explicit Needle(std::string_view text)
        : utf8_(text), ascii_(isAscii(text)),
          folded_(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))) {}

    [[nodiscard]] bool empty() const noexcept { return utf8_.empty(); }

    [[nodiscard]] bool foundIn(std::string_view name) const {
        if (ascii_ && isAscii(name)) {
            const auto match =
                std::search(name.begin(), name.end(), utf8_.begin(), utf8_.end(),
                            [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
            return match != name.end() || utf8_.empty();
        }
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
            .contains(folded_, Qt::CaseInsensitive);
    }

private:
    std::string utf8_;
    bool ascii_;
    QString folded_;
};

// A name as one field: the separator and line breaks would split it.
[[nodiscard]] std::string field(std::string_view name) {
    std::string text(name);
    std::replace(text.begin(), text.end(), protocol::kFieldSeparator, '/');
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

class Results {
public:
    explicit Results(int maxLines) : maxLines_(maxLines) {}

    void add(std::initializer_list<std::string> fields) {
        ++total_;
        if (static_cast<int>(lines_.size()) >= maxLines_) {
            return;
        }
        std::string line;
        for (const std::string& part : fields) {
            if (!line.empty()) {
                line += protocol::kFieldSeparator;
            }
            line += part;
        }
        lines_.push_back(std::move(line));
    }

    [[nodiscard]] std::string payload() const {
        const auto shown = static_cast<int>(lines_.size());
        std::string text =
            std::to_string(shown) + protocol::kFieldSeparator + std::to_string(total_ - shown);
        for (const std::string& line : lines_) {
            text += kLineBreak;
            text += line;
        }
        return text;
    }

private:
    int maxLines_;
    int total_ = 0;
    std::vector<std::string> lines_;
};

[[nodiscard]] std::vector<int> listedArtists(const CMediaLibrary& library) {
    std::vector<int> listed;
    for (int slot = 1; isListedArtist(library, slot) && !library.artist(slot).name.empty();
         ++slot) {
        listed.push_back(slot);
    }
    return listed;
}

[[nodiscard]] std::string number(int value) {
    return std::to_string(value);
}

// The matching tracks of one album choice of an artist.
void addTracks(const CMediaLibrary& library, const Needle& needle, int artistSlot, int albumChoice,
               Results& results) {
    const auto tracks = tracksOfChoice(library, artistSlot, albumChoice);
    if (!tracks) {
        return;
    }
    const std::string& artist = library.artist(artistSlot).name;
    const std::string album =
        albumChoice == kLooseTracksChoice
            ? std::string()
            : library.album(library.artist(artistSlot).firstAlbum + albumChoice - 1).name;
    for (int k = 0; k < tracks->count; ++k) {
        const std::string& name = library.track(tracks->first + k).fileName;
        if (needle.foundIn(name)) {
            results.add({"track", number(artistSlot + 1), number(albumChoice + 1),
                         number(protocol::listedNumber(static_cast<std::size_t>(k))), field(artist),
                         field(album), field(name)});
        }
    }
}

} // namespace

std::string searchLibrary(const CMediaLibrary& library, std::string_view text, int maxResults) {
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    const Needle needle(first == text.npos ? std::string_view{}
                                           : text.substr(first, last - first + 1));
    Results results(maxResults);
    if (needle.empty()) {
        return results.payload();
    }
    const std::vector<int> artists = listedArtists(library);
    for (const int slot : artists) {
        const std::string& name = library.artist(slot).name;
        if (needle.foundIn(name)) {
            results.add({"artist", number(slot + 1), field(name)});
        }
    }
    for (const int slot : artists) {
        const auto albums = albumsOf(library, slot);
        for (int k = 0; albums && k < albums->count; ++k) {
            const std::string& name = library.album(albums->first + k).name;
            if (needle.foundIn(name)) {
                results.add({"album", number(slot + 1),
                             number(protocol::listedNumber(static_cast<std::size_t>(k))),
                             field(library.artist(slot).name), field(name)});
            }
        }
    }
    for (const int slot : artists) {
        const auto albums = albumsOf(library, slot);
        for (int choice = 1; albums && choice <= albums->count; ++choice) {
            addTracks(library, needle, slot, choice, results);
        }
        addTracks(library, needle, slot, kLooseTracksChoice, results);
    }
    return results.payload();
}

} // namespace tembrel::remote
