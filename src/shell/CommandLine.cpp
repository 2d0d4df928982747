// Parsing of the server's command-line flags.
#include "shell/CommandLine.h"

#include <charconv>
#include <vector>

namespace tembrel::shell {

namespace {

constexpr int kMaxPort = 65535;

[[nodiscard]] CommandLine failure(std::string message) {
    CommandLine result;
    result.action = CommandLine::Action::Error;
    result.error = std::move(message);
    return result;
}

[[nodiscard]] std::optional<int> parsePort(std::string_view text) {
    int port = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (ec != std::errc{} || end != text.data() + text.size() || port < 0 || port > kMaxPort) {
        return std::nullopt;
    }
    return port;
}

[[nodiscard]] std::optional<remote::SpectrumRate> parseSpectrum(std::string_view text) {
    if (text == "off") {
        return remote::SpectrumRate::Off;
    }
    if (text == "15") {
        return remote::SpectrumRate::Fps15;
    }
    if (text == "30") {
        return remote::SpectrumRate::Fps30;
    }
    if (text == "60") {
        return remote::SpectrumRate::Fps60;
    }
    return std::nullopt;
}

// A flag that takes a value: applies it, or says what is wrong with it. The
// value is missing when the command line ends after the flag.
using ValueHandler = std::optional<std::string> (*)(std::optional<std::string_view> text,
                                                    ServerOptions& options);

struct ValueFlag {
    std::string_view name;
    ValueHandler apply;
};

std::optional<std::string> applyPort(std::optional<std::string_view> text, ServerOptions& options) {
    const auto port = text ? parsePort(*text) : std::nullopt;
    if (!port) {
        return "--port needs a port number from 0 to 65535";
    }
    options.port = *port;
    return std::nullopt;
}

std::optional<std::string> applyLocation(std::optional<std::string_view> text,
                                         ServerOptions& options) {
    if (!text) {
        return "--location needs a folder";
    }
    if (options.locations.size() == kMaxLocationFlags) {
        return "--location may be given at most 5 times";
    }
    options.locations.emplace_back(*text);
    return std::nullopt;
}

std::optional<std::string> applySettings(std::optional<std::string_view> text,
                                         ServerOptions& options) {
    if (!text || text->empty()) {
        return "--settings needs a file";
    }
    options.settingsFile = std::filesystem::path(*text);
    return std::nullopt;
}

std::optional<std::string> applyAudio(std::optional<std::string_view> text,
                                      ServerOptions& options) {
    options.audio = text ? parseAudioChoice(*text) : std::nullopt;
    if (!options.audio) {
        return "--audio needs null, auto or snapcast:PATH";
    }
    return std::nullopt;
}

std::optional<std::string> applySpectrumDelay(std::optional<std::string_view> text,
                                              ServerOptions& options) {
    options.spectrumDelayMs = text ? parseSpectrumDelay(*text) : std::nullopt;
    if (!options.spectrumDelayMs) {
        return "--spectrum-delay needs milliseconds from 0 to " +
               std::to_string(playback::kMaxSpectrumDelayMs);
    }
    return std::nullopt;
}

std::optional<std::string> applyUploadDir(std::optional<std::string_view> text,
                                          ServerOptions& options) {
    if (!text || text->empty()) {
        return "--upload-dir needs a folder";
    }
    options.uploadDir = std::filesystem::path(*text);
    return std::nullopt;
}

std::optional<std::string> applyUploadQuota(std::optional<std::string_view> text,
                                            ServerOptions& options) {
    options.uploadQuotaBytes = text ? parseByteSize(*text) : std::nullopt;
    if (!options.uploadQuotaBytes) {
        return "--upload-quota needs a size such as 500M or 2G";
    }
    return std::nullopt;
}

std::optional<std::string> applySpectrum(std::optional<std::string_view> text,
                                         ServerOptions& options) {
    const auto rate = text ? parseSpectrum(*text) : std::nullopt;
    if (!rate) {
        return "--spectrum needs off, 15, 30 or 60";
    }
    options.spectrum = *rate;
    return std::nullopt;
}

std::optional<std::string> applyWebPort(std::optional<std::string_view> text,
                                        ServerOptions& options) {
    const auto port = text ? parsePort(*text) : std::nullopt;
    if (!port) {
        return "--web-port needs a port number from 0 to 65535";
    }
    options.webPort = *port;
    return std::nullopt;
}

std::optional<std::string> applyWeb(std::optional<std::string_view> text, ServerOptions& options) {
    if (!text || (*text != "off" && *text != "on")) {
        return "--web needs off or on";
    }
    options.webOff = *text == "off";
    options.webOn = *text == "on";
    return std::nullopt;
}

std::optional<std::string> applyFormats(std::optional<std::string_view> text,
                                        ServerOptions& options) {
    std::vector<std::string> refused;
    const auto formats = text ? library::AudioFormats::fromList(*text, &refused) : std::nullopt;
    if (!formats || !refused.empty()) {
        return "--formats needs extensions from " + library::AudioFormats().text();
    }
    options.formats = formats;
    return std::nullopt;
}

std::optional<std::string> applyListen(std::optional<std::string_view> text,
                                       ServerOptions& options) {
    QHostAddress address;
    if (!text || !address.setAddress(
                     QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size())))) {
        return "--listen needs an IP address";
    }
    if (options.listen.size() == kMaxListenFlags) {
        return "--listen may be given at most 16 times";
    }
    options.listen.push_back(address);
    return std::nullopt;
}

std::optional<std::string> applyAllow(std::optional<std::string_view> text,
                                      ServerOptions& options) {
    const auto network = text ? net::AddressPolicy::parseNetwork(*text) : std::nullopt;
    if (!network) {
        return "--allow needs a network such as 192.168.0.0/16 or an address";
    }
    if (options.allow.size() == kMaxAllowFlags) {
        return "--allow may be given at most 64 times";
    }
    options.allow.push_back(*network);
    return std::nullopt;
}

constexpr ValueFlag kValueFlags[] = {
    {"--port", applyPort},
    {"--location", applyLocation},
    {"--settings", applySettings},
    {"--audio", applyAudio},
    {"--upload-dir", applyUploadDir},
    {"--upload-quota", applyUploadQuota},
    {"--formats", applyFormats},
    {"--listen", applyListen},
    {"--allow", applyAllow},
    {"--spectrum", applySpectrum},
    {"--spectrum-delay", applySpectrumDelay},
    {"--web-port", applyWebPort},
    {"--web", applyWeb},
};

[[nodiscard]] const ValueFlag* findValueFlag(std::string_view name) noexcept {
    for (const ValueFlag& flag : kValueFlags) {
        if (flag.name == name) {
            return &flag;
        }
    }
    return nullptr;
}

} // namespace

std::optional<std::uint64_t> parseByteSize(std::string_view text) {
    static constexpr std::uint64_t kMaxSize = 1ULL << 50;
    std::uint64_t size = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (ec != std::errc{} || end == text.data()) {
        return std::nullopt;
    }
    const std::string_view suffix(end, static_cast<std::size_t>(text.data() + text.size() - end));
    int shift = 0;
    if (suffix == "K" || suffix == "k") {
        shift = 10;
    } else if (suffix == "M" || suffix == "m") {
        shift = 20;
    } else if (suffix == "G" || suffix == "g") {
        shift = 30;
    } else if (!suffix.empty()) {
        return std::nullopt;
    }
    if (size > (kMaxSize >> shift)) {
        return std::nullopt;
    }
    return size << shift;
}

CommandLine parseCommandLine(std::span<const std::string_view> args) {
    CommandLine result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view flag = args[i];
        std::optional<std::string_view> inlineValue;
        if (const auto equals = flag.find('='); flag.starts_with("--") && equals != flag.npos) {
            inlineValue = flag.substr(equals + 1);
            flag = flag.substr(0, equals);
        }
        if (const ValueFlag* valueFlag = findValueFlag(flag)) {
            std::optional<std::string_view> text = inlineValue;
            if (!text && i + 1 < args.size()) {
                text = args[++i];
            }
            if (auto error = valueFlag->apply(text, result.options)) {
                return failure(std::move(*error));
            }
            continue;
        }
        const bool known = flag == "--help" || flag == "-h" || flag == "--version" ||
                           flag == "--headless" || flag == "--show";
        if (!known) {
            return failure("unknown option: " + std::string(args[i]));
        }
        if (inlineValue) {
            return failure(std::string(flag) + " takes no value");
        }
        if (flag == "--headless") {
            result.options.headless = true;
        } else if (flag == "--show") {
            result.options.showWindow = true;
        } else {
            result.action =
                flag == "--version" ? CommandLine::Action::Version : CommandLine::Action::Help;
            return result;
        }
    }
    return result;
}

std::string usageText(std::string_view programName) {
    std::string text = "Usage: ";
    text += programName;
    text += " [options]\n"
            "Tembrel Server, a networked jukebox.\n"
            "\n"
            "  --headless              run without a window, log to standard output\n"
            "  --show                  open the window at start instead of only the\n"
            "                          notification-area icon\n"
            "  --port N                listen on port N for this run\n"
            "  --location DIR          a media folder; up to 5, in the order of the\n"
            "                          window's Media Paths; replaces them for this run\n"
            "  --settings FILE         keep the settings in this INI file\n"
            "  --audio null|auto|snapcast:PATH\n"
            "                          silent output, the default device (auto), or\n"
            "                          the named pipe PATH for a Snapcast server\n"
            "  --upload-dir DIR        store uploaded files in DIR\n"
            "  --upload-quota SIZE     let the upload folder hold at most SIZE bytes\n"
            "                          (K, M or G suffixes; default 2G)\n"
            "  --spectrum off|15|30|60 spectrum updates per second for this run\n"
            "  --spectrum-delay MS     show the spectrum MS ms late, for speakers that\n"
            "                          play behind the output (Snapcast's buffer)\n"
            "  --web-port N            serve the web remote on port N (default 6080;\n"
            "                          0 picks a free port)\n"
            "  --web off|on            turn the web remote off (or on) for this run\n"
            "  --formats LIST          list and accept only these audio formats, such as\n"
            "                          mp3,flac (default mp3,wma,flac,ogg,oga,opus,m4a,wav)\n"
            "  --listen ADDRESS        listen on this address only (repeatable);\n"
            "                          default: every interface\n"
            "  --allow CIDR            admit peers from this network only (repeatable);\n"
            "                          default: loopback, private, link-local and\n"
            "                          100.64.0.0/10; 0.0.0.0/0 and ::/0 admit everyone\n"
            "  --help                  show this text\n"
            "  --version               show the version\n"
            "\n"
            "Headless: SIGINT or SIGTERM end the server, SIGHUP rescans the library.\n";
    return text;
}

std::string versionText() {
    return "Tembrel Server Version " TEMBREL_VERSION;
}

} // namespace tembrel::shell
