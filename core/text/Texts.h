// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

// Marks a text that the user reads, in the program's source language. The
// translation tools find the texts by this name; the macro is the text.
#define CORE_TEXT(context, source) source

namespace tunecrate {

// Turns a source text into the user's language. The window installs one at
// its start, before any thread runs; without one (the core's tests, the
// command line) the source text is what the user reads.
using TextTranslator = std::function<std::string(const char* source)>;
void SetTextTranslator(TextTranslator translator);

// `source` in the user's language, with %1 ... %9 replaced by `args` in one
// pass: an argument that holds "%2" (a file name, say) stays as it is.
std::string Say(const char* source, std::initializer_list<std::string_view> args = {});

// Every text of the core that reaches the user, in one place.
namespace texts {
inline constexpr const char* kDiskFull = CORE_TEXT("Core", "ディスクがいっぱいです！");
inline constexpr const char* kTooManySongs = CORE_TEXT("Core", "%1個以上のファイルは格納できません。");
inline constexpr const char* kSlotTaken = CORE_TEXT("Core", "曲番号%1 はすでに存在します。上書きしますか？");
inline constexpr const char* kFileTaken = CORE_TEXT("Core", "ファイル %1 はすでに存在します。上書きしますか？");
inline constexpr const char* kSameTitleTwice =
    CORE_TEXT("Core", "同じ題名の曲が二つあります。\n%1 には先の曲が入りました。");
inline constexpr const char* kAlreadyInFolder = CORE_TEXT("Core", "曲はすでにこのフォルダにあります。\n%1");
inline constexpr const char* kNoFileTitle = CORE_TEXT(
    "Core", "この題名はファイル名にできません。\n空の題名、「/」を含む題名、「.」と「..」は使えません。");
inline constexpr const char* kTitleTooLong = CORE_TEXT("Core", "題名は17文字を超えてはいけません。");
inline constexpr const char* kNotOnFloppy =
    CORE_TEXT("Core", "フロッピーディスクに書けない文字が含まれています：「%1」\n変更は保存されませんでした。");
inline constexpr const char* kSongNameTaken =
    CORE_TEXT("Core", "その名前のファイルはすでに存在します。\n違う名前にしてください。");
inline constexpr const char* kCannotRename = CORE_TEXT("Core", "Cannot rename %1.\n%2\n曲の名前は変更されませんでした。");
inline constexpr const char* kSongNameBreaks = CORE_TEXT(
    "Core", "曲「%1」は名前に改行を含むため、ドラッグできません。\nファイルの名前を変えてから、もう一度やり直してください。");
inline constexpr const char* kFolderNameBreaks =
    CORE_TEXT("Core",
              "ディレクトリ「%1」は名前に改行を含むため、その中の曲はドラッグできません。\n"
              "ディレクトリの名前を変えてから、もう一度やり直してください。");
inline constexpr const char* kCatalogueChanged =
    CORE_TEXT("Core", "フロッピーの内容が、ほかのプログラムによって変更されていました。\n一覧を読み直しました。");
inline constexpr const char* kNothingDone =
    CORE_TEXT("Core", "操作は行われませんでした。もう一度やり直してください。");
// %1 is the figure, %2 its unit (kb, MB, GB, TB).
inline constexpr const char* kFreeSpace = CORE_TEXT("Core", "空き %1 %2");
inline constexpr const char* kNewFolderName = CORE_TEXT("Core", "新規ディレクトリ");
inline constexpr const char* kCannotMakeFolder = CORE_TEXT("Core", "ディレクトリを作成できません！");
inline constexpr const char* kFolderNameTaken = CORE_TEXT("Core", "同名のファイルが存在します。");
inline constexpr const char* kCannotRenameFolder = CORE_TEXT("Core", "フォルダの名前を変更できません。\n\n%1");
inline constexpr const char* kNoFolderChosen = CORE_TEXT("Core", "ディレクトリが選択されていません。");
inline constexpr const char* kProtectedFolder = CORE_TEXT(
    "Core", "ディレクトリ\"%1\" は削除できません。\nルート、ホーム、ドライブの最上位のディレクトリか、それを含むディレクトリです。");
inline constexpr const char* kMountedFolder =
    CORE_TEXT("Core", "ディレクトリ\"%1\" は削除できません。\nドライブがマウントされているディレクトリです。");
inline constexpr const char* kFolderLeftovers =
    CORE_TEXT("Core", "ディレクトリ\"%1\" を完全には削除できませんでした。\n残ったもの:");
inline constexpr const char* kDeleteFolderQuestion =
    CORE_TEXT("Core", "ディレクトリ\"%1\" と、全ての下位ディレクトリのデータは消去されます。");
inline constexpr const char* kImageCount = CORE_TEXT("Core", "1 から %1 までの数を指定してください。");
inline constexpr const char* kTooFewNumbers =
    CORE_TEXT("Core", "空いている番号は %1 個だけです。%2 より先の番号は付けられません。");
inline constexpr const char* kOnlyNumberedImages =
    CORE_TEXT("Core", "番号の付いたイメージ（DSKA0003.IMG のような名前）にだけ名前を付けられます。");
inline constexpr const char* kBadLabel =
    CORE_TEXT("Core", "名前は %1 バイトまでで、/ や制御文字を含めることはできません。");
}  // namespace texts

}  // namespace tunecrate
