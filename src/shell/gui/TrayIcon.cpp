// The notification-area icon: builds the menu once, forwards its entries as
// signals and keeps the DSP check marks as the controller reports them.
#include "shell/gui/TrayIcon.h"

#include <QAction>
#include <QIcon>
#include <QMenu>

#include "shell/gui/GuiTexts.h"

namespace tembrel::shell {

namespace {

constexpr std::array<remote::SpectrumRate, TrayIcon::kDspEntries> kRates = {
    remote::SpectrumRate::Off, remote::SpectrumRate::Fps15, remote::SpectrumRate::Fps30,
    remote::SpectrumRate::Fps60};

constexpr std::array<const char*, TrayIcon::kDspEntries> kRateTexts = {
    texts::kTrayDspOff, texts::kTrayDsp15, texts::kTrayDsp30, texts::kTrayDsp60};

[[nodiscard]] std::size_t rateIndex(remote::SpectrumRate rate) noexcept {
    return static_cast<std::size_t>(static_cast<int>(rate) - 1);
}

} // namespace

TrayIcon::TrayIcon(const QIcon& icon, QObject* parent) : QObject(parent) {
    createActions();
    createTrayIcon(icon);
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::createActions() {
    optionsAction_ = new QAction(QString::fromUtf8(texts::kTrayOptions), this);
    connect(optionsAction_, &QAction::triggered, this, &TrayIcon::restoreRequested);

    for (std::size_t i = 0; i < kRates.size(); ++i) {
        auto* action = new QAction(QString::fromUtf8(kRateTexts[i]), this);
        // Checkable without an exclusive group: on a first run no entry is
        // checked, which an exclusive group cannot show.
        action->setCheckable(true);
        const auto rate = kRates[i];
        connect(action, &QAction::triggered, this, [this, rate] { emit spectrumRateChosen(rate); });
        dspActions_[i] = action;
    }

    webCodeAction_ = new QAction(QString::fromUtf8(texts::kWebCodeEntry), this);
    connect(webCodeAction_, &QAction::triggered, this, &TrayIcon::webCodeRequested);

    aboutAction_ = new QAction(QString::fromUtf8(texts::kAboutEntry), this);
    connect(aboutAction_, &QAction::triggered, this, &TrayIcon::aboutRequested);

    quitAction_ = new QAction(QString::fromUtf8(texts::kTrayQuit), this);
    connect(quitAction_, &QAction::triggered, this, &TrayIcon::quitRequested);
}

void TrayIcon::createTrayIcon(const QIcon& icon) {
    menu_ = std::make_unique<QMenu>();
    menu_->addAction(optionsAction_);
    QMenu* dspMenu = menu_->addMenu(QString::fromUtf8(texts::kTrayDsp));
    for (QAction* action : dspActions_) {
        dspMenu->addAction(action);
    }
    menu_->addAction(webCodeAction_);
    menu_->addSeparator();
    menu_->addAction(aboutAction_);
    menu_->addSeparator();
    menu_->addAction(quitAction_);

    icon_ = std::make_unique<QSystemTrayIcon>(icon);
    icon_->setToolTip(QString::fromUtf8(texts::kProgramTitle));
    icon_->setContextMenu(menu_.get());
    connect(icon_.get(), &QSystemTrayIcon::activated, this, &TrayIcon::handleActivation);
}

void TrayIcon::show() {
    if (available()) {
        icon_->show();
    }
}

void TrayIcon::hide() {
    icon_->hide();
}

bool TrayIcon::isShown() const {
    return icon_->isVisible();
}

void TrayIcon::setDspCheck(int dspCode) {
    for (std::size_t i = 0; i < dspActions_.size(); ++i) {
        dspActions_[i]->setChecked(static_cast<int>(i) + 1 == dspCode);
    }
}

QAction& TrayIcon::dspAction(remote::SpectrumRate rate) noexcept {
    return *dspActions_[rateIndex(rate)];
}

void TrayIcon::handleActivation(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) {
        emit restoreRequested();
    }
}

} // namespace tembrel::shell
