// SPDX-License-Identifier: MIT
#include "app/MainApp.h"

#include <QApplication>
#include <QStyleFactory>

#include "app/Translations.h"
#include "widgets/DialogUnits.h"

namespace tunecrate {

int MainApp::Run(int& argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunecrate"));
    // Before any window: every text is looked up as it is set.
    const auto translations = InstallTranslations(app);
    // One look on every desktop, so the layout's pixels are the same everywhere.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(DialogFont());

    MainDialog dialog(m_options);
    dialog.show();
    dialog.CurrentSession().FirstFill();
    if (m_options.shelf) dialog.OpenShelf(m_options.shelf);
    dialog.exec();
    return 0;
}

}  // namespace tunecrate
