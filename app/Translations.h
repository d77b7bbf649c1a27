// SPDX-License-Identifier: MIT
#pragma once

#include <QLocale>
#include <QTranslator>
#include <memory>
#include <string>
#include <vector>

class QCoreApplication;

namespace tunecrate {

// The program's texts are written in Japanese; other languages come from the
// translations built into the program. Loads the translation for the first
// of `locale`'s interface languages that has one, unless Japanese (or C)
// comes first, English when none has one, and Qt's own for the same language
// when it is installed; in the order they are installed, the last one asked first.
std::vector<std::unique_ptr<QTranslator>> LoadTranslations(const QLocale& locale = QLocale());

// A core text (context "Core") through `translators` as the application
// would ask them: the last one first; the source where none has it.
std::string TranslateCoreText(const std::vector<std::unique_ptr<QTranslator>>& translators, const char* source);

// Installs them into `app` and routes the core's texts through them. The
// translators stay installed while the returned objects live.
std::vector<std::unique_ptr<QTranslator>> InstallTranslations(QCoreApplication& app, const QLocale& locale = QLocale());

}  // namespace tunecrate
