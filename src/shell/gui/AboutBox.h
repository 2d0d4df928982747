// The About box: the program icon, the version line and an OK button.
#pragma once

#include <QDialog>

namespace tembrel::shell {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

} // namespace tembrel::shell
