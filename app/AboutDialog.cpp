// SPDX-License-Identifier: MIT
#include "app/AboutDialog.h"

#include <QLabel>
#include <QPushButton>

#include "core/text/CommandLine.h"
#include "widgets/Artwork.h"
#include "widgets/DialogUnits.h"
#include "app/Palettes.h"

namespace tunecrate {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setFont(DialogFont());
    setPalette(DialogPalette());
    setAutoFillBackground(true);
    setWindowTitle(tr("Tunecrateのﾊﾞｰｼﾞｮﾝ情報"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    const DialogUnits du(font());
    setFixedSize(du.X(235), du.Y(55));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(ProgramIconPixmap(32));
    icon->setGeometry(du.X(11), du.Y(17), 32, 32);

    auto* text = new QLabel(QStringLiteral("Tunecrate Version ") + QString::fromLatin1(kVersion), this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setGeometry(du.Rect(40, 10, 119, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setGeometry(du.Rect(178, 7, 50, 14));
    ok->setDefault(true);
    ok->setPalette(SystemPalette());
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tunecrate
