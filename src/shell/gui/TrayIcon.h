// The notification-area icon and its menu: "Options", the "DSP" rate entries
// with their check marks, the web remote's QR code, the About entry and "Quit".
#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <array>
#include <memory>

#include "remote/SpectrumState.h"

class QAction;
class QIcon;
class QMenu;

namespace tembrel::shell {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr int kDspEntries = 4;

    explicit TrayIcon(const QIcon& icon, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop has a notification area to show the icon in.
    [[nodiscard]] static bool available();

    // Shows or removes the icon; showing does nothing without a notification area.
    void show();
    void hide();
    [[nodiscard]] bool isShown() const;

    // Puts the check mark on the entry of a DspCode (1 "Off" to 4 "60fps");
    // any other code leaves every entry unchecked.
    void setDspCheck(int dspCode);

    [[nodiscard]] QMenu& menu() noexcept { return *menu_; }
    [[nodiscard]] QAction& optionsAction() noexcept { return *optionsAction_; }
    [[nodiscard]] QAction& aboutAction() noexcept { return *aboutAction_; }
    [[nodiscard]] QAction& webCodeAction() noexcept { return *webCodeAction_; }
    [[nodiscard]] QAction& quitAction() noexcept { return *quitAction_; }
    // The rate entries in DspCode order ("Off", "15fps", "30fps", "60fps").
    [[nodiscard]] QAction& dspAction(remote::SpectrumRate rate) noexcept;

    // What the icon does with a mouse event: a double click restores the
    // window; the context menu opens on its own; anything else is ignored.
    void handleActivation(QSystemTrayIcon::ActivationReason reason);

signals:
    void restoreRequested();
    void aboutRequested();
    void webCodeRequested();
    void quitRequested();
    void spectrumRateChosen(tembrel::remote::SpectrumRate rate);

private:
    void createActions();
    void createTrayIcon(const QIcon& icon);

    // Non-owning: the actions are children of this object.
    QAction* optionsAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* webCodeAction_ = nullptr;
    QAction* quitAction_ = nullptr;
    std::array<QAction*, kDspEntries> dspActions_{};

    // The menu outlives the icon that shows it.
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
};

} // namespace tembrel::shell
