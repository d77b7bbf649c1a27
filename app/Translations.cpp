// SPDX-License-Identifier: MIT
#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

#include "core/Texts.h"

namespace tunecrate {

std::vector<std::unique_ptr<QTranslator>> LoadTranslations(const QLocale& locale) {
    std::vector<std::unique_ptr<QTranslator>> installed;
    // "ja" then "en" means Japanese: the source texts win over a later language.
    QString chosen;
    for (const QString& language : locale.uiLanguages()) {
        const QLocale::Language wanted = QLocale(language).language();
        if (wanted == QLocale::Japanese || wanted == QLocale::C) {
            chosen = language;
            break;
        }
        auto program = std::make_unique<QTranslator>();
        // Tries "tunecrate_en_Latn_US", then shorter, down to "tunecrate_en".
        if (program->load(QStringLiteral("tunecrate_") + QString(language).replace(u'-', u'_'), QStringLiteral(":/i18n"))) {
            installed.push_back(std::move(program));
            chosen = language;
            break;
        }
    }
    // A reader of a language the program has no translation for reads English
    // more readily than Japanese.
    if (chosen.isEmpty()) {
        auto english = std::make_unique<QTranslator>();
        if (english->load(QStringLiteral("tunecrate_en"), QStringLiteral(":/i18n"))) {
            installed.push_back(std::move(english));
        }
    }
    // Qt's own texts (standard buttons) in the same language, when the system has them.
    if (!chosen.isEmpty() && QLocale(chosen).language() != QLocale::C) {
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(QLocale(chosen), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            installed.push_back(std::move(qt));
        }
    }
    return installed;
}

std::string TranslateCoreText(const std::vector<std::unique_ptr<QTranslator>>& translators, const char* source) {
    for (auto it = translators.rbegin(); it != translators.rend(); ++it) {
        if (const QString text = (*it)->translate("Core", source); !text.isNull()) return text.toStdString();
    }
    return source;
}

std::vector<std::unique_ptr<QTranslator>> InstallTranslations(QCoreApplication& app, const QLocale& locale) {
    std::vector<std::unique_ptr<QTranslator>> installed = LoadTranslations(locale);
    for (const auto& translator : installed) app.installTranslator(translator.get());
    SetTextTranslator([](const char* source) { return QCoreApplication::translate("Core", source).toStdString(); });
    return installed;
}

}  // namespace tunecrate
