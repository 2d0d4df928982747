// Parsing of the server's command-line flags.
#include "shell/CommandLine.h"

#include <charconv>

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

} // namespace

std::optional<std::uint64_t> parseByteSize(std::string_view text) {
    static constexpr std::uint64_t kMaxSize = 1ULL << 50;
    std::uint64_t size = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (ec != std::errc{} || end == text.data()) {
        return std::nullopt;
    }
    const std::string_view suffix(end, text.data() + text.size() - end);
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
    ServerOptions& options = result.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view flag = args[i];
        std::optional<std::string_view> inlineValue;
        if (const auto equals = flag.find('='); flag.starts_with("--") && equals != flag.npos) {
            inlineValue = flag.substr(equals + 1);
            flag = flag.substr(0, equals);
        }
        const auto takesNoValue = [&]() {
            return !inlineValue.has_value();
        };
        // The flag's value: after "=", or the next argument.
        const auto value = [&]() -> std::optional<std::string_view> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };

        if (flag == "--help" || flag == "-h") {
            if (!takesNoValue()) {
                return failure("--help takes no value");
            }
            result.action = CommandLine::Action::Help;
            return result;
        }
        if (flag == "--version") {
            if (!takesNoValue()) {
                return failure("--version takes no value");
            }
            result.action = CommandLine::Action::Version;
            return result;
        }
        if (flag == "--headless") {
            if (!takesNoValue()) {
                return failure("--headless takes no value");
            }
            options.headless = true;
        } else if (flag == "--port") {
            const auto text = value();
            const auto port = text ? parsePort(*text) : std::nullopt;
            if (!port) {
                return failure("--port needs a port number from 0 to 65535");
            }
            options.port = *port;
        } else if (flag == "--location") {
            const auto text = value();
            if (!text) {
                return failure("--location needs a folder");
            }
            if (options.locations.size() == kMaxLocationFlags) {
                return failure("--location may be given at most 5 times");
            }
            options.locations.emplace_back(*text);
        } else if (flag == "--settings") {
            const auto text = value();
            if (!text || text->empty()) {
                return failure("--settings needs a file");
            }
            options.settingsFile = std::filesystem::path(*text);
        } else if (flag == "--audio") {
            const auto text = value();
            options.audio = text ? parseAudioChoice(*text) : std::nullopt;
            if (!options.audio) {
                return failure("--audio needs null, auto or snapcast:PATH");
            }
        } else if (flag == "--spectrum-delay") {
            const auto text = value();
            options.spectrumDelayMs = text ? parseSpectrumDelay(*text) : std::nullopt;
            if (!options.spectrumDelayMs) {
                return failure("--spectrum-delay needs milliseconds from 0 to " +
                               std::to_string(playback::kMaxSpectrumDelayMs));
            }
        } else if (flag == "--upload-dir") {
            const auto text = value();
            if (!text || text->empty()) {
                return failure("--upload-dir needs a folder");
            }
            options.uploadDir = std::filesystem::path(*text);
        } else if (flag == "--upload-quota") {
            const auto text = value();
            options.uploadQuotaBytes = text ? parseByteSize(*text) : std::nullopt;
            if (!options.uploadQuotaBytes) {
                return failure("--upload-quota needs a size such as 500M or 2G");
            }
        } else if (flag == "--spectrum") {
            const auto text = value();
            const auto rate = text ? parseSpectrum(*text) : std::nullopt;
            if (!rate) {
                return failure("--spectrum needs off, 15, 30 or 60");
            }
            options.spectrum = *rate;
        } else {
            return failure("unknown option: " + std::string(args[i]));
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
            "  --port N                listen on port N for this run\n"
            "  --location DIR          a media folder; up to 5, Location1 first;\n"
            "                          replaces the stored Locations for this run\n"
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
            "  --help                  show this text\n"
            "  --version               show the version\n"
            "\n"
            "Headless: SIGINT or SIGTERM end the server, SIGHUP restarts it (rescans).\n";
    return text;
}

std::string versionText() {
    return "Tembrel Server Version " TEMBREL_VERSION "b";
}

} // namespace tembrel::shell
