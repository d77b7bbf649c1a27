// SPDX-License-Identifier: MIT
#pragma once

#include <QLocale>
#include <QTranslator>
#include <memory>
#include <vector>

class QCoreApplication;

namespace tunecrate {

// The program's texts are written in Japanese; other languages come from the
// translations built into the program. Installs the translation for the first
// of `locale`'s interface languages that has one, unless Japanese (or C)
// comes first, English when none has one, and Qt's own for the same language when it is installed; routes the core's
// texts through them. The translators stay installed while the returned
// objects live.
std::vector<std::unique_ptr<QTranslator>> InstallTranslations(QCoreApplication& app, const QLocale& locale = QLocale());

}  // namespace tunecrate
