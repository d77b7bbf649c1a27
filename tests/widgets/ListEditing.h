// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "FakePrompter.h"
#include "TestFloppy.h"
#include "app/MainDialog.h"
#include "core/disk/ImageVolume.h"
#include "core/songs/SongFloppyImage.h"
#include "lists/InPlaceEdit.h"

// Helpers for driving the song lists' editing by mouse and keyboard.
namespace tunecrate::testing {

inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// song.nam after an edit of a floppy with a title on line 10: 40 lines of 17
// bytes and CR LF; the rows' titles first, line 10 as it was, blanks else.
inline std::string ExpectedTitlesFile(const std::vector<std::string>& cp932Titles) {
    std::string bytes;
    for (std::size_t i = 0; i < 40; ++i) {
        std::string title = i < cp932Titles.size() ? cp932Titles[i] : i == 9 ? "Beyond the slots" : std::string();
        title.resize(17, ' ');
        bytes += title + "\r\n";
    }
    return bytes;
}

// comments.dat after such an edit: 40 CR LF lines, line 10 as it was.
inline std::string ExpectedCommentsFile(const std::vector<std::string>& cp932Comments) {
    std::string bytes;
    for (std::size_t i = 0; i < 40; ++i) {
        bytes += (i < cp932Comments.size() ? cp932Comments[i] : i == 9 ? "not a slot" : std::string()) + "\r\n";
    }
    return bytes;
}

// Line `index` (0-based) of a CR LF file, without its line end.
inline std::string CatalogueLine(const std::string& bytes, std::size_t index) {
    std::size_t begin = 0;
    for (std::size_t i = 0; i < index; ++i) {
        begin = bytes.find("\r\n", begin);
        if (begin == std::string::npos) return "<no line " + std::to_string(index) + ">";
        begin += 2;
    }
    const std::size_t end = bytes.find("\r\n", begin);
    return bytes.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// The demo floppy plus a title and a comment on line 10 of the catalogue,
// beyond the five slots, where the instrument keeps songs: every edit keeps them.
inline std::vector<TestSlot> DemoSlotsWithLineTen() {
    std::vector<TestSlot> songs = DemoSlots();
    songs.resize(9);
    songs.push_back({"Beyond the slots", "not a slot", -1, -1});
    return songs;
}

// The demo floppy's five rows as the program holds them (CP932).
inline std::vector<std::string> DemoTitles() {
    return {Cp932("Blues in F"), Cp932("夜想曲 第2番"), "", Cp932("さくらさくら"), ""};
}
inline std::vector<std::string> DemoComments() {
    return {Cp932("練習用"), Cp932("ピアノ"), "", Cp932("春の演奏会"), Cp932("メモ")};
}

// The centre of the visible part of a cell, in viewport coordinates.
inline QPoint CellPoint(SongListCtrl& list, int row, int column) {
    const QRect cell = list.visualRect(list.model()->index(row, column));
    return cell.intersected(list.viewport()->rect()).center();
}

inline void ClickCell(SongListCtrl& list, int row, int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, CellPoint(list, row, column));
}

// The cell editors still on screen; one that has ended hides at once and is
// deleted later.
inline std::vector<InPlaceEdit*> OpenEditors(SongListCtrl& list) {
    std::vector<InPlaceEdit*> open;
    for (InPlaceEdit* edit : list.findChildren<InPlaceEdit*>()) {
        if (edit->isVisible()) open.push_back(edit);
    }
    return open;
}

inline InPlaceEdit* OpenEditor(SongListCtrl& list) {
    const auto open = OpenEditors(list);
    return open.size() == 1 ? open.front() : nullptr;
}

// Every editor object alive, ended or not, once pending deletions have run.
inline int LiveEditorCount(SongListCtrl& list) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return static_cast<int>(list.findChildren<InPlaceEdit*>().size());
}

// Opens the cell editor as a user does: a first click makes the row the
// focused one unless it already is, the next click on the cell opens it.
inline InPlaceEdit* ClickOpenEditor(SongListCtrl& list, int row, int column) {
    if (list.currentItem() != list.topLevelItem(row)) ClickCell(list, row, column);
    ClickCell(list, row, column);
    return OpenEditor(list);
}

// Keys go where a user's keys go: to the widget with the keyboard focus.
inline void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr) << "no widget has the keyboard focus";
    QTest::keyClick(target, key, modifiers);
}

// Delete as the X11 keyboard delivers it: with the DEL character as its text.
inline void PressDelete() {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr) << "no widget has the keyboard focus";
    QTest::sendKeyEvent(QTest::Click, target, Qt::Key_Delete, QStringLiteral("\x7f"), Qt::NoModifier);
}

// Text as it arrives while typing: plain ASCII as key presses, anything else
// (Japanese, emoji) committed by the input method.
inline void Type(QWidget* widget, const QString& text) {
    QString composed;
    auto commit = [&] {
        if (composed.isEmpty()) return;
        QInputMethodEvent event;
        event.setCommitString(composed);
        QApplication::sendEvent(widget, &event);
        composed.clear();
    };
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
            commit();
            QTest::keyClick(widget, c.toLatin1());
        } else {
            composed += c;
        }
    }
    commit();
}

// A main window filled and shown as at start-up, asking `prompter`.
inline std::unique_ptr<MainDialog> ShowWindow(const MainDialogOptions& options, FakePrompter& prompter) {
    auto dialog = std::make_unique<MainDialog>(options);
    dialog->setPrompter(&prompter);
    dialog->FirstFill();
    dialog->show();
    dialog->activateWindow();
    return dialog;
}

// A main window on a prepared floppy, shown and active so that focus moves
// as it does for a user; every question and message goes to `prompter`.
class FloppyEditingTest : public ::testing::Test {
protected:
    // With `asImage` the same files go into a floppy image, which is then the floppy.
    void OpenWindow(const std::vector<TestSlot>& songs, bool asImage = false) {
        WriteFloppy(floppy, songs);
        MainDialogOptions options = OptionsWithoutMounts();
        options.floppy = floppy.path();
        if (asImage) {
            image = images.Path("floppy.img");
            ASSERT_TRUE(CreateSongFloppyImage(image).ok());
            ImageVolume volume(image);
            for (const auto& file : std::filesystem::directory_iterator(floppy.path())) {
                const std::string name = file.path().filename().string();
                ASSERT_TRUE(volume.Apply({FileChange{name, HostPath{file.path().string()}}}, Room::Catalogue).ok()) << name;
            }
            options.floppy = image;
        }
        options.home = home.path();
        options.workingDirectory = home.path();
        dialog = ShowWindow(options, prompter);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        ASSERT_EQ(List().topLevelItemCount(), 5);
        titlesBefore = FileBytes(floppy.Path("song.nam"));
        commentsBefore = FileBytes(floppy.Path("comments.dat"));
    }

    SongListCtrl& List() { return dialog->floppyList(); }
    QString CellText(int row, int column) { return List().topLevelItem(row)->text(column); }
    std::string Titles() { return FloppyFile("song.nam"); }
    std::string Comments() { return FloppyFile("comments.dat"); }
    std::string FloppyFile(const std::string& name) {
        if (image.empty()) return FileBytes(floppy.Path(name));
        return ImageVolume(image).ReadFile(name, 1 << 20).value_or("<unreadable>");
    }

    // Opens the editor on a cell, replaces its text and ends with Enter.
    void EditCell(int row, int column, const QString& text) {
        InPlaceEdit* edit = ClickOpenEditor(List(), row, column);
        ASSERT_NE(edit, nullptr) << "no editor on row " << row << " column " << column;
        ASSERT_EQ(QApplication::focusWidget(), edit);
        Type(edit, text);
        ASSERT_EQ(edit->text(), text);
        Press(Qt::Key_Return);
        ASSERT_TRUE(OpenEditors(List()).empty());
    }

    TempFolder home;
    TempFolder floppy;
    TempFolder images;
    std::string image;   // the floppy, when it is an image
    FakePrompter prompter;
    std::unique_ptr<MainDialog> dialog;   // after the prompter: goes first
    std::string titlesBefore;
    std::string commentsBefore;
};

// A main window without a floppy whose tree has a temporary home folder;
// the test fills folders in it and selects one, whose songs the hard-disk
// list then shows.
class HardDiskEditingTest : public ::testing::Test {
protected:
    void SetUp() override { home = std::filesystem::canonical(homeFolder.path()).string(); }

    void OpenWindow(const std::string& folderName) {
        MainDialogOptions options = OptionsWithoutMounts();
        options.home = home;
        options.workingDirectory = home;
        dialog = ShowWindow(options, prompter);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        ASSERT_TRUE(dialog->folderTree().SelectPath(Folder(folderName)));
    }

    std::string Folder(const std::string& name) const { return home + "/" + name; }
    void MakeFolder(const std::string& name) const { std::filesystem::create_directories(Folder(name)); }

    // The names in a folder, sorted.
    std::vector<std::string> FilesIn(const std::string& name) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Folder(name))) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    SongListCtrl& List() { return dialog->hardDiskList(); }
    QStringList Titles() {
        QStringList titles;
        for (int i = 0; i < List().topLevelItemCount(); ++i) titles << List().topLevelItem(i)->text(0);
        return titles;
    }
    int RowOf(const QString& title) { return Titles().indexOf(title); }

    TempFolder homeFolder;
    std::string home;
    FakePrompter prompter;
    std::unique_ptr<MainDialog> dialog;   // after the prompter: goes first
};

}  // namespace tunecrate::testing
