// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

namespace tunecrate {

class MainDialog;
class ShelfWindow;

// For tests that drive the real program: writes where the main window, its
// rows and folders and the shelf's rows stand, how the views are scrolled
// and what has the focus into one file, anew after every change. The
// program installs it only when TUNECRATE_STATE names the file, for as long
// as the window lives.
class StateFile : public QObject {
    Q_OBJECT
public:
    StateFile(MainDialog& dialog, QString path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void WriteSoon();
    void Write();
    void FollowShelf(ShelfWindow& shelf);

    MainDialog& m_dialog;
    QString m_path;
    bool m_pending = false;
    bool m_shelfFollowed = false;
};

}  // namespace tunecrate
