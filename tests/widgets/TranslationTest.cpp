// SPDX-License-Identifier: MIT
// The window's texts are Japanese, its source language, unless a translation
// is installed; with the English one, what the window shows is English.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "Workplace.h"
#include "app/MainDialog.h"
#include "app/Translations.h"
#include "core/Texts.h"
#include "widgets/GroupFrame.h"

namespace tunecrate::testing {
namespace {

bool HoldsJapanese(const QString& text) {
    return text.contains(QRegularExpression(QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]")));
}

// Every caption of the window and its menus by where it stands; rows left out, they are the user's data.
QMap<QString, QString> Captions(MainDialog& dialog) {
    QMap<QString, QString> shown{{"title", dialog.windowTitle()}};
    for (const QLabel* label : dialog.findChildren<QLabel*>()) shown[label->objectName()] = label->text();
    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) shown[button->objectName()] = button->text();
    for (const GroupFrame* frame : dialog.findChildren<GroupFrame*>()) shown[frame->objectName()] = frame->accessibleName();
    for (const QTreeWidget* view : dialog.findChildren<QTreeWidget*>())
        for (int column = 0; column < view->columnCount(); ++column)
            shown[view->objectName() + QString::number(column)] = view->headerItem()->text(column);
    for (QMenu* menu : {dialog.BuildBackgroundMenu(&dialog), dialog.findChild<FolderTree*>()->BuildFolderMenu(&dialog)}) {
        for (const QAction* action : menu->actions()) shown[action->objectName()] = action->text();
        delete menu;
    }
    shown["freeSpaceText"] = shown["freeSpaceText"].section(' ', 0, 0);   // the core's word, without the figure
    return shown;
}

// The first interface language with a translation wins, unless Japanese (the
// source) or C comes first; a language without one reads English. The window's
// captions and questions, Qt's own buttons and the core's texts follow.
TEST(Translations, TheLocaleChoosesTheLanguageOfTheWindowQtAndTheCore) {
    const std::vector<std::tuple<const char*, const char*, const char*>> table = {
        {"hardDiskFrame", "ハードディスク", "Hard disk"}, {"floppyFrame", "フロッピーディスク", "Floppy disk"},
        {"reloadButton", "再読み込み", "Reload"},          {"exitButton", "終了", "Exit"},
        {"floppyList1", "ソング名", "Song name"},          {"hardDiskList2", "コメント", "Comment"},
        {"freeSpaceText", "空き", "Free"},                 {"shelfAction", "ディスク棚(&S)...", "Disk &shelf..."},
        {"aboutAction", "Tunecrate のﾊﾞｰｼﾞｮﾝ情報(&A)...", "&About Tunecrate..."}, {"newFolderAction", "新規作成", "New folder"},
    };
    const auto shown = [] {
        const QMessageBox box(QMessageBox::NoIcon, {}, {}, QMessageBox::Yes);
        return QCoreApplication::translate("tunecrate::MainDialog", "終了").toStdString() + " " +
               box.button(QMessageBox::Yes)->text().toStdString() + " " + Translated(texts::kCannotWrite, {"a", "b"});
    };
    const char *english = "Exit &Yes Cannot write a.\nb", *japanese = "終了 はい(&Y) a に書き込めません。\nb", *source = "終了 &Yes a に書き込めません。\nb";
    for (const auto& [locale, wanted] : std::vector<std::pair<QLocale, const char*>>{
             {QLocale(QLocale::English, QLocale::UnitedStates), english}, {QLocale(QLocale::English, QLocale::UnitedKingdom), english},
             {QLocale(QLocale::Japanese, QLocale::Japan), japanese}, {QLocale::c(), source}, {QLocale(QLocale::German, QLocale::Germany), english}}) {
        SCOPED_TRACE(locale.name().toStdString());
        const auto translations = InstallTranslations(*qApp, locale);
        EXPECT_EQ(shown(), wanted);
        const bool inEnglish = wanted == english;
        Workplace place("1:Old/");
        MainDialog dialog(place.Options(&place.floppy), WindowQuestions{&place.prompter, {}, {}, {}});
        dialog.CurrentSession().FirstFill();
        AwaitFloppy(dialog.CurrentSession());
        const QMap<QString, QString> captions = Captions(dialog);
        for (const auto& [name, japaneseCaption, englishCaption] : table)
            EXPECT_EQ(captions.value(name).toStdString(), inEnglish ? englishCaption : japaneseCaption) << name;
        for (auto it = captions.begin(); inEnglish && it != captions.end(); ++it) EXPECT_FALSE(HoldsJapanese(*it)) << it.key().toStdString();
        // The session's questions follow, with the number in its place.
        auto& floppyList = *dialog.findChild<QTreeWidget*>("floppyList");
        floppyList.setCurrentItem(floppyList.topLevelItem(0));
        place.prompter.AnswerYesNo(false);
        QTest::keyClick(&floppyList, Qt::Key_Delete);
        EXPECT_EQ(place.prompter.calls().back().text, inEnglish ? "Delete 1 item?" : "1個の項目を削除しますか？");
    }
    EXPECT_EQ(shown(), source) << "left installed";
}

// Each translation (or plural form) keeps its source's %1 ... %n markers,
// accelerator and trailing ellipsis, and holds no Japanese.
TEST(Translations, EveryTranslationKeepsItsSourcesMarkers) {
    QFile file(QStringLiteral(TUNECRATE_TS_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << TUNECRATE_TS_FILE;
    const auto markers = [](const QString& text) {   // as XML writes it: &amp; is the accelerator
        static const QRegularExpression marker(QStringLiteral("%(\\d|n)|&amp;(?!&amp;)|\\.\\.\\.$"));
        QStringList found;
        for (const auto& match : marker.globalMatch(text)) found << match.captured();
        found.sort();
        return found.join(' ').toStdString();
    };
    static const QRegularExpression message(QStringLiteral("<source>(.*?)</source>\\s*<translation[^>]*>(.*?)</translation>"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression form(QStringLiteral("<numerusform>(.*?)</numerusform>"));
    int checked = 0;
    for (const auto& found : message.globalMatch(QString::fromUtf8(file.readAll()))) {
        QStringList forms;
        for (const auto& plural : form.globalMatch(found.captured(2))) forms << plural.captured(1);
        if (forms.isEmpty()) forms << found.captured(2);
        for (const QString& text : forms) {
            EXPECT_EQ(markers(text), markers(found.captured(1))) << found.captured(1).toStdString() << " -> " << text.toStdString();
            EXPECT_FALSE(HoldsJapanese(text)) << text.toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 40);
}

}  // namespace
}  // namespace tunecrate::testing
