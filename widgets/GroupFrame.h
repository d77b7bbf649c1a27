// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace tunecrate {

// A group frame: an etched rectangle whose top edge is broken by its caption,
// drawn in the window's colours. It takes no clicks.
class GroupFrame : public QWidget {
    Q_OBJECT
public:
    GroupFrame(const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
};

}  // namespace tunecrate
