// The web remote's QR code drawn as a picture, with the address under it.
#include "shell/gui/WebCodeDialog.h"

#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "shell/gui/GuiTexts.h"
#include "web/QrCode.h"

namespace tembrel::shell {

namespace {

// Dark modules black on white, with the quiet zone, scaled up without blur.
[[nodiscard]] QPixmap drawCode(const web::QrCode& code) {
    const int side = code.size() + 2 * web::QrCode::kQuietZone;
    QImage image(side, side, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const bool dark = code.dark(x - web::QrCode::kQuietZone, y - web::QrCode::kQuietZone);
            image.setPixel(x, y, dark ? 1U : 0U);
        }
    }
    const int pixels = side * WebCodeDialog::kModulePixels;
    return QPixmap::fromImage(
        image.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::FastTransformation));
}

} // namespace

WebCodeDialog::WebCodeDialog(const std::optional<std::string>& url, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(texts::kWebCodeTitle));
    auto* layout = new QVBoxLayout(this);
    const auto code = url ? web::QrCode::encode(*url) : std::nullopt;
    if (code) {
        auto* picture = new QLabel(this);
        picture->setPixmap(drawCode(*code));
        picture->setAlignment(Qt::AlignCenter);
        layout->addWidget(picture);
    }
    auto* address = new QLabel(
        url ? QString::fromStdString(*url) : QString::fromUtf8(texts::kWebRemoteOff), this);
    address->setAlignment(Qt::AlignCenter);
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(address);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

} // namespace tembrel::shell
