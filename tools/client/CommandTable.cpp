// The list of commands with their help texts.
#include <array>

#include "Commands.h"
#include "protocol/ProtocolConstants.h"

namespace tembrel::client {

namespace {

constexpr std::array kCommands{
    CommandSpec{"status", "", "show the current track, state, volume, switches and playlist length",
                "Prints what the server reports when the client joins.", runStatus},
    CommandSpec{"playlist", "", "list the playlist entries, numbered",
                "The numbers are the ones 'track N' and 'picture N' take.", runPlaylist},
    CommandSpec{"artists", "", "list the library's artists, numbered",
                "The numbers are the ones 'albums', 'tracks' and 'queue' take.", runArtists},
    CommandSpec{"albums", "ARTIST", "list an artist's albums and loose tracks",
                "ARTIST is a name (case does not matter) or the number 'artists' shows.",
                runAlbums},
    CommandSpec{"tracks", "ARTIST ALBUM", "list the tracks of an album",
                "ARTIST and ALBUM are names (case does not matter) or the numbers that\n"
                "'artists' and 'albums' show.",
                runTracks},
    CommandSpec{"queue", "ARTIST ALBUM TRACK | --loose ARTIST TRACK",
                "add a library track to the playlist",
                "Each of ARTIST, ALBUM and TRACK is a name (case does not matter; a track\n"
                "may be named with or without its extension) or the number the listings\n"
                "show. --loose queues one of the tracks lying directly in the artist's\n"
                "folder. Prints the server's confirmation; exits with 1 when the server\n"
                "refuses the track.",
                runQueue},
    CommandSpec{"search", "TEXT", "find artists, albums and tracks by name",
                "Lists the artists, albums and tracks of the whole library whose names\n"
                "contain TEXT (case does not matter), as ARTIST / ALBUM / TRACK; loose\n"
                "tracks show (loose) for the album. At most 100 are listed, with the\n"
                "count of the rest. Only this client gets the answer.",
                runSearch},
    CommandSpec{"play", "", "start the current playlist entry from its beginning", "", runPlay},
    CommandSpec{"pause", "", "pause, or resume when paused", "", runPause},
    CommandSpec{"stop", "", "stop playback", "", runStop},
    CommandSpec{"next", "", "skip to the next track", "", runNext},
    CommandSpec{"prev", "", "go back to the previous track", "", runPrev},
    CommandSpec{"seek", "+S | -S | PERCENT", "move within the playing track",
                "+S and -S move forward or back by about S seconds (in 2-second steps);\n"
                "PERCENT (0 to 100, a trailing % is allowed) jumps to that point of the\n"
                "track, which works only while a track is playing.",
                runSeek},
    CommandSpec{"track", "N", "play playlist entry N (as 'playlist' numbers them)", "", runTrack},
    CommandSpec{"vol", "up | down | mute", "change the volume",
                "up and down change it by 16 of 255 steps; mute sets it to 0.", runVolume},
    CommandSpec{"shuffle", "", "switch shuffle on or off", "", runShuffle},
    CommandSpec{"repeat", "", "switch repeat on or off", "", runRepeat},
    CommandSpec{"picture", "N [FILE]", "save the album picture of playlist entry N",
                "Saves the picture to FILE, or to folder-N.jpg in the current folder.\n"
                "Exits with 1 when the album has no picture.",
                runPicture},
    CommandSpec{"upload", "FILE...", "send audio files to the server and queue them",
                "Each file is sent in chunks (with a progress bar when standard error is a\n"
                "terminal) and then queued; the server's answer is printed for each file.\n"
                "Exits with 1 when any file could not be queued.",
                runUpload},
    CommandSpec{"watch", "", "live view of the status and the 16-band spectrum",
                "Redraws the screen as the server's broadcasts arrive, until Ctrl-C.\n"
                "Shows 'spectrum off' while the server sends no spectrum. When standard\n"
                "output is not a terminal, prints one line per status broadcast instead\n"
                "(one JSON object per line with --json).",
                runWatch},
    CommandSpec{"raw", "COMMAND [ARG]", "send any command and print every reply",
                "Prints each message the command causes, up to the end of the status\n"
                "broadcast that follows it: the reply name, then the other values.",
                runRaw},
    CommandSpec{"help", "[COMMAND]", "show the help of all commands or of one", "", runHelp},
};

} // namespace

std::span<const CommandSpec> commandTable() noexcept {
    return kCommands;
}

const CommandSpec* findCommand(std::string_view name) noexcept {
    for (const CommandSpec& command : kCommands) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

std::string generalHelp() {
    std::string text = "Usage: tembrel-remote [OPTIONS] COMMAND [ARGS]\n"
                       "Remote control for a Tembrel Server jukebox.\n"
                       "\n"
                       "Options:\n"
                       "  --host H       server host name or address (default localhost)\n"
                       "  --port P       server port (default " +
                       std::to_string(protocol::kDefaultPort) +
                       ")\n"
                       "  --name NAME    user name to join with (default: your login name)\n"
                       "  --json         print one JSON object for scripts instead of text\n"
                       "  --timeout MS   how long to wait for the server (default " +
                       std::to_string(kDefaultTimeout.count()) +
                       ")\n"
                       "  --help         show this help, or a command's help after the command\n"
                       "  --version      show the version\n"
                       "\n"
                       "Commands:\n";
    for (const CommandSpec& command : kCommands) {
        std::string left = "  " + std::string(command.name);
        if (!command.usage.empty()) {
            left += " " + std::string(command.usage);
        }
        if (left.size() < 24) {
            left.resize(24, ' ');
        } else {
            left += "\n" + std::string(24, ' ');
        }
        text += left + std::string(command.summary) + "\n";
    }
    text += "\n"
            "Exit status: 0 done, 1 the server refused the request, 2 bad command line,\n"
            "3 the server could not be reached, refused the connection or dropped it.\n";
    return text;
}

std::string commandHelp(const CommandSpec& command) {
    std::string text = "Usage: tembrel-remote [OPTIONS] " + std::string(command.name);
    if (!command.usage.empty()) {
        text += " " + std::string(command.usage);
    }
    text += "\n" + std::string(command.summary) + ".\n";
    if (!command.details.empty()) {
        text += "\n" + std::string(command.details) + "\n";
    }
    text += "\nSee 'tembrel-remote --help' for the options.\n";
    return text;
}

} // namespace tembrel::client
