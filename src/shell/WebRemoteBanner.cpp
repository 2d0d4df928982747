// The web remote's address and its QR code as text lines.
#include "shell/WebRemoteBanner.h"

#include "web/QrCode.h"

namespace tembrel::shell {

std::vector<std::string> webRemoteBanner(const web::WebRemote* remote) {
    const auto url = remote != nullptr ? remote->guestUrl() : std::nullopt;
    const auto code = url ? web::QrCode::encode(*url) : std::nullopt;
    if (!code) {
        return {};
    }
    std::vector<std::string> lines{"Scan to open the web remote at " + *url + ":"};
    for (std::string& line : web::qrTextLines(*code)) {
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace tembrel::shell
