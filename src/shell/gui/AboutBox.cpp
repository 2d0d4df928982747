// Lays out the About box in dialog units: icon at the left, the version text
// beside it, OK at the top right.
#include "shell/gui/AboutBox.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "shell/gui/DialogUnits.h"
#include "shell/gui/GuiResources.h"
#include "shell/gui/GuiTexts.h"

namespace tembrel::shell {

namespace {

constexpr int kIconPixels = 32;

} // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(texts::kAboutTitle));
    setWindowIcon(programIcon());
    const DialogUnits units(font());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(programIcon().pixmap(kIconPixels, kIconPixels));
    icon->setGeometry(units.x(11), units.y(17), kIconPixels, kIconPixels);

    // Plain text: no mnemonic, no markup.
    auto* version = new QLabel(QString::fromUtf8(texts::kAboutVersion), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(units.rect(39, 18, 130, 8));

    auto* credits = new QLabel(QString::fromUtf8(texts::kAboutCredits), this);
    credits->setObjectName(QStringLiteral("aboutCredits"));
    credits->setTextFormat(Qt::PlainText);
    credits->setWordWrap(true);
    credits->setGeometry(units.rect(39, 34, 189, 40));
    credits->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* ok = new QPushButton(QString::fromUtf8(texts::kOk), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    ok->setGeometry(units.rect(178, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(units.size(235, 81));
}

} // namespace tembrel::shell
