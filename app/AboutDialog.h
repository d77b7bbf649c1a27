// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

namespace tunecrate {

// The about box: the program icon, the version line and an OK button.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace tunecrate
