// The main window as the controller's view: each report of the controller
// redraws the control it concerns. Nothing here blocks.
#include "shell/gui/MainWindow.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

#include "shell/ServerApp.h"
#include "shell/gui/GuiTexts.h"
#include "shell/gui/TrayIcon.h"

namespace tembrel::shell {

namespace {

[[nodiscard]] QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void MainWindow::logLineAppended(std::string_view line) {
    QPlainTextEdit* log = controls_.log;
    log->appendPlainText(fromView(line));
    log->moveCursor(QTextCursor::End);
    log->verticalScrollBar()->setValue(log->verticalScrollBar()->maximum());
}

void MainWindow::userListChanged(const std::vector<std::string>& lines, int selectedIndex) {
    refreshing_ = true;
    QListWidget* users = controls_.users;
    users->clear();
    for (const auto& line : lines) {
        users->addItem(QString::fromStdString(line));
    }
    if (selectedIndex >= 0 && selectedIndex < users->count()) {
        users->setCurrentRow(selectedIndex);
    }
    refreshing_ = false;
}

void MainWindow::statusLineChanged(std::string_view text) {
    controls_.statusLine->setText(fromView(text));
}

void MainWindow::hostingChanged(bool hosting) {
    controls_.startStop->setText(QString::fromUtf8(hosting ? texts::kStop : texts::kStart));
    controls_.disconnectUser->setEnabled(hosting);
    controls_.disconnectAll->setEnabled(hosting);
}

QMessageBox* MainWindow::openBox(const QString& caption, const QString& text,
                                 QMessageBox::Icon icon) {
    // A closed box is deleted later; it stops counting as soon as it is hidden.
    notices_.erase(std::remove_if(notices_.begin(), notices_.end(),
                                  [](const QPointer<QMessageBox>& box) {
                                      return box.isNull() || !box->isVisible();
                                  }),
                   notices_.end());
    if (static_cast<int>(notices_.size()) >= kMaxOpenNotices) {
        if (app_) {
            app_->controller().appendLog(text.toStdString());
        }
        return nullptr;
    }
    auto* box = new QMessageBox(icon, caption, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    notices_.emplace_back(box);
    return box;
}

void MainWindow::showNotice(std::string_view caption, std::string_view text, NoticeKind kind) {
    const auto icon = kind == NoticeKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
    openBox(fromView(caption), fromView(text), icon);
}

void MainWindow::portIntegerRequired() {
    openBox(QString::fromUtf8(texts::kProgramTitle), QString::fromUtf8(texts::kIntegerRequired),
            QMessageBox::Warning);
    controls_.port->setFocus(Qt::OtherFocusReason);
    controls_.port->selectAll();
}

void MainWindow::spectrumCheckChanged(int dspCode) {
    tray_->setDspCheck(dspCode);
}

void MainWindow::fieldsChanged() {
    if (!app_) {
        return;
    }
    const auto& controller = app_->controller();
    refreshing_ = true;
    controls_.port->setText(QString::fromStdString(controller.portText()));
    const auto& locations = controller.locations();
    for (std::size_t i = 0; i < controls_.locations.size() && i < locations.size(); ++i) {
        controls_.locations[i]->setText(QString::fromStdString(locations[i]));
    }
    refreshing_ = false;
}

} // namespace tembrel::shell
