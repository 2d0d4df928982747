// A small window with the QR code of the web remote's address, so guests
// scan it with their phones instead of typing the address.
#pragma once

#include <QDialog>

#include <optional>
#include <string>

namespace tembrel::shell {

class WebCodeDialog : public QDialog {
    Q_OBJECT
public:
    // Pixels per module of the drawn code.
    static constexpr int kModulePixels = 6;

    // `url`: the address to show; nothing when the web remote is off.
    explicit WebCodeDialog(const std::optional<std::string>& url, QWidget* parent = nullptr);
};

} // namespace tembrel::shell
