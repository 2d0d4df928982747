// The client's commands: what each is called, its help, and the function
// that runs it against a joined session.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "Output.h"
#include "Session.h"

namespace tembrel::client {

// What a command works with. The session is opened on first use, so a
// command can refuse bad arguments before anything is sent.
class Context {
public:
    Context(const Options& options, Output& output) : options_(options), output_(output) {}

    [[nodiscard]] const Options& options() const noexcept { return options_; }
    [[nodiscard]] const std::vector<std::string>& args() const noexcept { return options_.args; }
    [[nodiscard]] Output& output() noexcept { return output_; }

    // Connects and joins. On failure, reports it and returns the exit code;
    // nothing when the session is ready.
    [[nodiscard]] std::optional<int> join();
    // Precondition: join() succeeded.
    [[nodiscard]] Session& session() noexcept { return *session_; }
    // Reports the session's failure; returns the exit code.
    int failSession();
    int usage(std::string_view message);
    // A usage error unless the command got between `least` and `most`
    // arguments.
    [[nodiscard]] std::optional<int> expectArguments(std::size_t least, std::size_t most);
    // Joins, then checks that the playlist has an entry `number`; on failure
    // (reported) returns the exit code.
    [[nodiscard]] std::optional<int> joinWithPlaylistEntry(long long number);
    // Prints the session's current status (text or JSON); returns 0.
    int showStatus();

private:
    const Options& options_;
    Output& output_;
    std::unique_ptr<Session> session_;
};

using CommandFunction = int (*)(Context&);

struct CommandSpec {
    std::string_view name;
    std::string_view usage;   // arguments after the name
    std::string_view summary; // one line
    std::string_view details; // the rest of the help
    CommandFunction run;
};

[[nodiscard]] std::span<const CommandSpec> commandTable() noexcept;
[[nodiscard]] const CommandSpec* findCommand(std::string_view name) noexcept;

// The general help, and one command's help.
[[nodiscard]] std::string generalHelp();
[[nodiscard]] std::string commandHelp(const CommandSpec& command);

// Runs the parsed command line; returns the process exit code.
int runClient(const Options& options, Output& output);

int runStatus(Context& context);
int runPlaylist(Context& context);
int runArtists(Context& context);
int runAlbums(Context& context);
int runTracks(Context& context);
int runQueue(Context& context);
int runPlay(Context& context);
int runPause(Context& context);
int runStop(Context& context);
int runNext(Context& context);
int runPrev(Context& context);
int runSeek(Context& context);
int runTrack(Context& context);
int runVolume(Context& context);
int runShuffle(Context& context);
int runRepeat(Context& context);
int runPicture(Context& context);
int runUpload(Context& context);
int runWatch(Context& context);
int runRaw(Context& context);
int runSearch(Context& context);
int runHelp(Context& context);

} // namespace tembrel::client
