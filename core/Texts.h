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

// Turns a source text into the user's language. The window and the command
// line install one at their start, before any thread runs; without one (the
// core's tests) the source text, Japanese, is what the user reads.
using TextTranslator = std::function<std::string(const char* source)>;
void SetTextTranslator(TextTranslator translator);

// `source` in the user's language, with %1 ... %9 replaced by `args` in one
// pass: an argument that holds "%2" (a file name, say) stays as it is.
std::string Translated(const char* source, std::initializer_list<std::string_view> args = {});

// Every text that reaches the user from the core, the session and the command
// line, in one place: Japanese first, the translations in translations/*.ts.
// The system's own English texts (the captions, the unreadable floppy) stay
// as they have always read.
namespace texts {
inline constexpr const char* kDiskFull = CORE_TEXT("Core", "ディスクがいっぱいです！");
// Said after the disk-full text: which folder, or how much a song may use on the floppy.
inline constexpr const char* kFolderFull = CORE_TEXT("Core", "%1 に空きがありません。");
inline constexpr const char* kSongSpace =
    CORE_TEXT("Core", "曲に使える空きは %1 バイトです（曲名とコメント用の %2 バイトを除く）。");
inline constexpr const char* kDropStoppedByUser = CORE_TEXT("Core", "転送を中止しました。%1曲のうち%2曲が届きました。");
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
inline constexpr const char* kCannotRename = CORE_TEXT("Core", "%1 の名前を変更できません。\n%2\n曲の名前は変更されませんでした。");
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
// Floppy drives used as devices, and whole-disk copies.
inline constexpr const char* kDeviceNoPermission = CORE_TEXT(
    "Core",
    "%1 を開く権限がありません。\nマウントされていないフロッピードライブを使うには、disk グループに入ってください"
    "（sudo adduser %2 disk のあと、ログインし直す）。\nまたは udisks2 が動いていれば、そこから開く許可を求めます。");
inline constexpr const char* kDeviceBusy =
    CORE_TEXT("Core", "%1 は使用中です（マウントされているか、ほかのプログラムが開いています）。");
inline constexpr const char* kDeviceNoDisk = CORE_TEXT("Core", "%1 にディスクが入っていません。");
inline constexpr const char* kNotAFloppyDrive = CORE_TEXT("Core", "%1 はマウントされたフロッピーでも、フロッピードライブでもありません。");
inline constexpr const char* kNotAFloppyDisk =
    CORE_TEXT("Core", "%1 は 1.44 MB のフロッピーではありません（%2 バイト）。");
inline constexpr const char* kNotAFloppyImage =
    CORE_TEXT("Core", "%1 は 1.44 MB の FAT12 フロッピーイメージではないので、書き込みません。\n%2");
inline constexpr const char* kImageExists = CORE_TEXT("Core", "%1 はすでに存在します。");
inline constexpr const char* kDeviceMounted = CORE_TEXT(
    "Core", "%1 は %2 にマウントされているので、書き込みません。\n先にアンマウントしてください（umount %2）。");
inline constexpr const char* kBackupDone = CORE_TEXT("Core", "%1 を %2 に保存しました。読めないセクタはありませんでした。");
inline constexpr const char* kBackupUnreadable =
    CORE_TEXT("Core", "%1 を %2 に保存しましたが、%3 個のセクタが読めず、ゼロで埋めました。\n詳しくは %4 をご覧ください。");
inline constexpr const char* kSongsHit = CORE_TEXT("Core", "読めなかったセクタを含む曲:");
inline constexpr const char* kFilesHit = CORE_TEXT("Core", "読めなかったセクタを含むほかのファイル:");
inline constexpr const char* kBackupCancelled = CORE_TEXT("Core", "保存を中止しました。イメージは作られていません。");
inline constexpr const char* kRestoreDone =
    CORE_TEXT("Core", "%1 を %2 に書き、読み戻して確かめました。すべてのセクタが一致しています。");
inline constexpr const char* kRestoreDiffers = CORE_TEXT(
    "Core", "%1 を %2 に書きましたが、%3 個のセクタが書けないか、読み戻すと一致しません。\nセクタ: %4");
inline constexpr const char* kRestoreCancelled =
    CORE_TEXT("Core", "書き込みを中止しました。%1 のフロッピーには、イメージの一部だけが書かれています。");
inline constexpr const char* kEjectDone = CORE_TEXT("Core", "%1 のフロッピーを取り出せます。");
inline constexpr const char* kEjectNoPowerOff =
    CORE_TEXT("Core", "%1 のフロッピーはアンマウントしたので、取り出せます。\n（ドライブの電源は切れませんでした: %2）");
inline constexpr const char* kEjectUnmountFailed =
    CORE_TEXT("Core", "%1 をアンマウントできませんでした。まだ取り出さないでください。\n%2");
inline constexpr const char* kEjectFlushedDevice =
    CORE_TEXT("Core", "%1 への書き込みはすべて済みました。フロッピーを取り出せます。");
inline constexpr const char* kEjectByHand = CORE_TEXT(
    "Core",
    "書き込みはすべてディスクに送りました。\nudisks2 が動いていないので、ここではアンマウントできません。"
    "取り出す前に、ファイルマネージャーで取り出すか、umount %1 を実行してください。");
inline constexpr const char* kRestoreQuestion = CORE_TEXT(
    "Core", "%1 のフロッピーの内容をすべて消して、%2 の内容を書き込みます。\nよろしいですか？");
// Drops: songs that stay where they were, and why.
inline constexpr const char* kSlotUnusable = CORE_TEXT("Core", "曲番号%1 は使えません。\n%2");
inline constexpr const char* kNoFreeSlot = CORE_TEXT("Core", "%1 には空いている曲番号がありません。");
inline constexpr const char* kDropStopped = CORE_TEXT("Core", "その前の曲で止まったため、移されませんでした。");
inline constexpr const char* kNotPlaced = CORE_TEXT("Core", "%1 は置かれませんでした: %2");
// Folders: changes that finish after a crash
inline constexpr const char* kChangeUnfinished = CORE_TEXT(
    "Core", "%1 のファイルの変更を最後まで終えられませんでした。\n%2\n次にこのフォルダを開くときに、変更を終えます。");
// Shelves: odd entries, labels, new images
inline constexpr const char* kShelfFolder = CORE_TEXT("Core", "%1 はフォルダです。イメージとして読み書きしません。");
inline constexpr const char* kShelfFifo = CORE_TEXT("Core", "%1 は FIFO です。イメージとして読み書きしません。");
inline constexpr const char* kShelfDevice = CORE_TEXT("Core", "%1 はデバイスです。イメージとして読み書きしません。");
inline constexpr const char* kShelfNotAFile =
    CORE_TEXT("Core", "%1 は普通のファイルではありません。イメージとして読み書きしません。");
inline constexpr const char* kShelfLinkNowhere = CORE_TEXT("Core", "%1 はどこにもつながっていないシンボリックリンクです。");
inline constexpr const char* kShelfLinkToDevice =
    CORE_TEXT("Core", "%1 はデバイスへのシンボリックリンクです。リンクを通しては読み書きしません。");
inline constexpr const char* kShelfLinkOutside =
    CORE_TEXT("Core", "%1 はシェルフの外のイメージへのシンボリックリンクです。リンクを通しては読み書きしません。");
inline constexpr const char* kShelfLink =
    CORE_TEXT("Core", "%1 はシンボリックリンクです。リンクを通しては読み書きしません。");
inline constexpr const char* kLabelNotUtf8 = CORE_TEXT("Core", "名前が正しい UTF-8 ではありません。");
inline constexpr const char* kLabelDotsOnly = CORE_TEXT("Core", "点だけの名前は付けられません。");
inline constexpr const char* kLabelNotOnFat32 = CORE_TEXT(
    "Core", "FAT32 のスティックの名前には \\ : * ? \" < > | を使えず、名前の終わりに点も置けません。");
inline constexpr const char* kLabelCaseTaken = CORE_TEXT(
    "Core", "%1 は %2 と大文字・小文字しか違いません。FAT32 のスティックでは同じ名前なので、付けられません。");
// Images: damage, attributes, write protection
// %1 is the image's path, %2 one of the problems below (each a sentence).
inline constexpr const char* kImageDamaged =
    CORE_TEXT("Core", "%1 は壊れています: %2\n書き込む前に、ディスク検査ツール（fsck.fat）で修復してください。");
inline constexpr const char* kFatsDiffer = CORE_TEXT("Core", "2 つの FAT が、クラスタ %1 の項目で食い違っています。");
inline constexpr const char* kFatsDifferReserved =
    CORE_TEXT("Core", "2 つの FAT が、先頭の予約項目（メディアの種類）で食い違っています。");
inline constexpr const char* kFatMediaEntry = CORE_TEXT("Core", "FAT の先頭の予約項目（メディアの種類）が壊れています（%1）。");
// %1 is a file or folder of the image ("SONG.NAM", "Sub/Take.txt"), %2 and %3 cluster numbers.
inline constexpr const char* kChainLeavesDisk = CORE_TEXT(
    "Core", "%1: クラスタチェーンがクラスタ %2 から、このディスクのクラスタではない %3 へ続いています。");
inline constexpr const char* kStartOffDisk = CORE_TEXT("Core", "%1: 最初のクラスタ %2 は、このディスクのクラスタではありません。");
inline constexpr const char* kChainMeetsFree =
    CORE_TEXT("Core", "%1: クラスタチェーンに、FAT で空きとされているクラスタ %2 が含まれています。");
inline constexpr const char* kChainMeetsBad =
    CORE_TEXT("Core", "%1: クラスタチェーンに、FAT で不良とされているクラスタ %2 が含まれています。");
inline constexpr const char* kChainLoops =
    CORE_TEXT("Core", "%1: クラスタチェーンがクラスタ %2 からクラスタ %3 へ戻り、輪になっています。");
// %2 is a number of clusters, %3 the file's size in bytes.
inline constexpr const char* kChainShort = CORE_TEXT("Core", "%1: クラスタチェーンは %2 クラスタしかなく、%3 バイトには足りません。");
inline constexpr const char* kChainLong =
    CORE_TEXT("Core", "%1: クラスタチェーンは %2 クラスタあり、%3 バイトに必要な数より長くなっています。");
inline constexpr const char* kSizeWithoutCluster = CORE_TEXT("Core", "%1: %2 バイトあるはずですが、クラスタがありません。");
inline constexpr const char* kFolderWithoutCluster = CORE_TEXT("Core", "%1: フォルダですが、クラスタがありません。");
inline constexpr const char* kFolderWithSize = CORE_TEXT("Core", "%1: フォルダなのに、大きさ（%2 バイト）が書かれています。");
// %1 and %3 are files of the image, %2 a cluster number.
inline constexpr const char* kClusterShared = CORE_TEXT("Core", "%1 は、クラスタ %2 を %3 と共有しています。");
// %1 is a number of clusters, %2 the first of them.
inline constexpr const char* kLostClusters =
    CORE_TEXT("Core", "%1 個のクラスタが、どのファイルにも属さないのに使用中になっています（最初はクラスタ %2）。");
// %1 is a folder of the image ("/", "/Sub"), %2 the number of an entry in it (from 0), %3 a cluster number.
inline constexpr const char* kOrphanedLongName =
    CORE_TEXT("Core", "フォルダ %1 のエントリ %2 は、どのファイルにも属さない長い名前の一部です。");
inline constexpr const char* kLongNameWithCluster =
    CORE_TEXT("Core", "フォルダ %1 のエントリ %2 は長い名前の一部ですが、クラスタ（%3）が書かれています。");
inline constexpr const char* kReadOnlyFile = CORE_TEXT(
    "Core", "%1 は読み取り専用なので、変更しません。\n変更するには、先に読み取り専用の属性を外してください。");
inline constexpr const char* kWriteProtectedDisk = CORE_TEXT(
    "Core", "%1 のディスクは書き込み禁止になっています。\n書き込むには、ディスクを取り出して書き込み禁止のタブを閉じてください。");
inline constexpr const char* kReadOnlyMount = CORE_TEXT(
    "Core",
    "%1 は読み取り専用でマウントされています。\n"
    "ディスクが書き込み禁止なら、取り出して書き込み禁止のタブを閉じてから、もう一度入れてください。");
inline constexpr const char* kImageFileReadOnly = CORE_TEXT("Core", "イメージファイル %1 には書き込めません（読み取り専用です）。");
// %2 is the system's reason.
inline constexpr const char* kOldRoomNotFreed = CORE_TEXT(
    "Core",
    "%1 に新しいファイルは書き込みましたが、古い内容の領域を解放できませんでした（%2）。\n"
    "ディスク検査ツール（fsck.fat）で回収できます。開き直すまで、このイメージには何も書き込みません。");
inline constexpr const char* kRootFolderFull = CORE_TEXT("Core", "フロッピーのルートフォルダがいっぱいです。");
// Captions of the message boxes, as the system has always written them.
inline constexpr const char* kErrorCaption = CORE_TEXT("Core", "Error!");
inline constexpr const char* kConfirmCaption = CORE_TEXT("Core", "Confirm");
inline constexpr const char* kOverwriteCaption = CORE_TEXT("Core", "Overwrite?");
inline constexpr const char* kNoticeCaption = CORE_TEXT("Core", "Notice");
inline constexpr const char* kUnreadableFloppy = CORE_TEXT("Core", "Cannot open %1song.nam.\nPlease insert valid floppy disk.");
// The floppy frame while the floppy is read beside the window, and a gesture that needs it meanwhile.
inline constexpr const char* kLoading = CORE_TEXT("Core", "読み込み中...");
inline constexpr const char* kFloppyBeingRead =
    CORE_TEXT("Core", "フロッピーを読み込んでいます。\n読み込みが終わってから、もう一度やり直してください。");
// Files that cannot be reached: %1 is the file, %2 the system's reason.
inline constexpr const char* kCannotOpen = CORE_TEXT("Core", "%1 を開けません。\n%2");
inline constexpr const char* kCannotRead = CORE_TEXT("Core", "%1 を読めません。\n%2");
inline constexpr const char* kCannotReadSize = CORE_TEXT("Core", "%1 の大きさを読めません。\n%2");
inline constexpr const char* kCannotWrite = CORE_TEXT("Core", "%1 に書き込めません。\n%2");
inline constexpr const char* kCannotLock = CORE_TEXT("Core", "%1 をロックできません。\n%2");
inline constexpr const char* kCannotCopy = CORE_TEXT("Core", "%1 をコピーできません。\n%2");
inline constexpr const char* kCannotDelete = CORE_TEXT("Core", "%1 を削除できません。\n%2");
inline constexpr const char* kCannotRenameFile = CORE_TEXT("Core", "%1 の名前を変更できません。\n%2");
// %2 is the new name, %3 the system's reason.
inline constexpr const char* kCannotRenameTo = CORE_TEXT("Core", "%1 の名前を %2 に変更できません。\n%3");
inline constexpr const char* kNoSuchFile = CORE_TEXT("Core", "ファイルがありません");
inline constexpr const char* kFloppyFileUnreadable =
    CORE_TEXT("Core", "%1 を読めません。\nファイルが壊れているか、フロッピーには大きすぎます。");
inline constexpr const char* kIsFolder = CORE_TEXT("Core", "%1 はフォルダです。");
inline constexpr const char* kIsLink = CORE_TEXT("Core", "%1 はシンボリックリンクです。リンクを通しては書き込みません。");
inline constexpr const char* kNotPlainFile = CORE_TEXT("Core", "%1 は普通のファイルではありません。");
inline constexpr const char* kCopyOntoItself = CORE_TEXT("Core", "%1 をそれ自身の上にコピーすることになります。");
inline constexpr const char* kNotFloppyName = CORE_TEXT("Core", "%1 はフロッピーに置ける名前（8.3 形式）ではありません。");
// Image files that are not floppies, or are held elsewhere.
inline constexpr const char* kNotImageFile = CORE_TEXT("Core", "%1 はフロッピーイメージのファイルではありません。");
inline constexpr const char* kImageInUse =
    CORE_TEXT("Core", "%1 はほかのプログラムが使用中です。\nそちらで閉じてから、もう一度やり直してください。");
// %2 is one of the reasons below (each a sentence).
inline constexpr const char* kNotFloppyImageBecause = CORE_TEXT("Core", "%1 は 1.44 MB のフロッピーイメージではありません: %2");
inline constexpr const char* kImageSizeWrong = CORE_TEXT("Core", "%1 バイトあり、%2 バイトではありません。");
inline constexpr const char* kShorterThanBoot = CORE_TEXT("Core", "ブートセクタより短くなっています。");
// %1 is the value a floppy has, %2 the image's.
inline constexpr const char* kSectorBytesWrong = CORE_TEXT("Core", "1 セクタのバイト数が %2 です（%1 でなければなりません）。");
inline constexpr const char* kClusterSectorsWrong = CORE_TEXT("Core", "1 クラスタのセクタ数が %2 です（%1 でなければなりません）。");
inline constexpr const char* kFatCountWrong = CORE_TEXT("Core", "FAT の数が %2 です（%1 でなければなりません）。");
inline constexpr const char* kRootEntriesWrong = CORE_TEXT("Core", "ルートのエントリ数が %2 です（%1 でなければなりません）。");
inline constexpr const char* kSectorCountWrong = CORE_TEXT("Core", "セクタ数が %2 です（%1 でなければなりません）。");
inline constexpr const char* kImageTruncated = CORE_TEXT("Core", "途中で切れています。");
inline constexpr const char* kNoRoomForFat = CORE_TEXT("Core", "ブートセクタに FAT の領域がありません。");
inline constexpr const char* kFatsFillDisk = CORE_TEXT("Core", "FAT とルートがディスク全体を占めています。");
inline constexpr const char* kFatTooSmall = CORE_TEXT("Core", "FAT がディスクの大きさに足りません。");
// %1 is the image, %2 the image's size in bytes, %3 a floppy's.
inline constexpr const char* kImageHolds = CORE_TEXT("Core", "%1 は %2 バイトあり、%3 バイトではありません。");
inline constexpr const char* kShelfImageSize = CORE_TEXT(
    "Core", "%1 は %2 バイトあり、%3 バイトではありません。フロッピーエミュレーターが受け付けないかもしれません。");
inline constexpr const char* kNotSongFloppy = CORE_TEXT("Core", "%1 は曲のフロッピーではありません。song.nam がありません。");
// %2 is the part being written (one of the four below), %3 the system's reason.
inline constexpr const char* kImageWriteFailed = CORE_TEXT(
    "Core", "%1 への書き込みが失敗しました（%2）: %3\nもう一度開くまで、このイメージには何も書き込みません。");
// %1 is the drive's device.
inline constexpr const char* kDiskWriteNotKept = CORE_TEXT(
    "Core", "%1 のフロッピーへの書き込みが失敗しました: 書いたところを読み戻すと、書いた内容と違っています。"
            "ディスクが傷んでいるか、ドライブが書き込みを落としています。\nもう一度開くまで、このフロッピーには何も書き込みません。");
// %1 is the disk (an image, or a drive's device).
inline constexpr const char* kDiskChangedSinceOpened = CORE_TEXT(
    "Core", "%1 のディスクは、開いた後で入れ替えられたか、ほかのプログラムに書き換えられました。"
            "何も書き込みませんでした。\nもう一度開いてから、やり直してください。");
// The floppy shown was swapped or rewritten since its rows were read.
inline constexpr const char* kFloppyChangedSinceShown = CORE_TEXT(
    "Core", "フロッピーが、表示した後で入れ替えられたか、ほかのプログラムに書き換えられました。"
            "何も書き込まずに読み直しました。\n表示を確かめてから、もう一度やり直してください。");
inline constexpr const char* kPartFileData = CORE_TEXT("Core", "ファイルのデータ");
inline constexpr const char* kPartFolder = CORE_TEXT("Core", "フォルダ");
inline constexpr const char* kPartFat = CORE_TEXT("Core", "FAT");
inline constexpr const char* kPartFlush = CORE_TEXT("Core", "ディスクへの送り出し");
// The columns of a saved shelf list.
inline constexpr const char* kShelfCsvHeader =
    CORE_TEXT("Core", "番号,ファイル,題名 1,題名 2,題名 3,題名 4,題名 5,曲数,空き kb,状態");
// The command line: its own refusals, then what its commands report.
inline constexpr const char* kTryHelp = CORE_TEXT("Core", "使い方は 'tunecrate --help' で表示されます。");
inline constexpr const char* kUnknownOption = CORE_TEXT("Core", "不明なオプション %1");
inline constexpr const char* kUnknownOptionFor = CORE_TEXT("Core", "%2 には不明なオプション %1");
inline constexpr const char* kUnexpectedArgument = CORE_TEXT("Core", "余分な引数 %1");
inline constexpr const char* kUnknownCommand =
    CORE_TEXT("Core", "不明なコマンド %1（コマンドは list、export、import、new、check、backup、restore、eject、convert、remove、renumber、copy、duplicates、ingest です）");
inline constexpr const char* kCountRange = CORE_TEXT("Core", "--count には 1 から 1000 までの数を指定してください");
inline constexpr const char* kFloppyOptionEmpty = CORE_TEXT("Core", "--floppy にはフォルダかイメージファイルを指定してください");
inline constexpr const char* kShelfOptionEmpty = CORE_TEXT("Core", "--shelf にはフォルダを指定してください");
inline constexpr const char* kNewFloppyOptionEmpty = CORE_TEXT("Core", "--new-floppy にはファイルを指定してください");
inline constexpr const char* kExportNeeds =
    CORE_TEXT("Core", "export には、イメージかフロッピーのフォルダ、次にフォルダを指定してください");
inline constexpr const char* kImportNeeds =
    CORE_TEXT("Core", "import には、曲のフォルダ、次にイメージかシェルフのフォルダを指定してください");
inline constexpr const char* kNewNeeds = CORE_TEXT("Core", "new には、イメージファイルかシェルフのフォルダを一つ指定してください");
inline constexpr const char* kBackupNeeds =
    CORE_TEXT("Core", "backup には、フロッピードライブかマウントされたフロッピー、次にイメージファイルを指定してください");
inline constexpr const char* kRestoreNeeds = CORE_TEXT("Core", "restore には、イメージファイル、次にフロッピードライブを指定してください");
inline constexpr const char* kEjectNeeds =
    CORE_TEXT("Core", "eject に指定できるのは、フロッピードライブかマウントされたフロッピー一つまでです");
// %1 is list or check.
inline constexpr const char* kPathsNeeded =
    CORE_TEXT("Core", "%1 には、イメージ、フロッピーのフォルダ、シェルフのフォルダを一つ以上指定してください");
inline constexpr const char* kHoldsNoImages = CORE_TEXT("Core", "%1 にはフロッピーイメージがありません");
// Factory-firmware sticks: raw slots of 1.5 MiB, no file system.
inline constexpr const char* kStickHasFileSystem = CORE_TEXT(
    "Core",
    "%1 は、イメージファイルを読むファームウェア用のスティックです（%2 があります）。工場出荷時のファームウェアはこのスティックを"
    "読めません。フロッピーはスティックの上のファイルです: マウントして、そのフォルダをディスク棚で開いてください。"
    "工場出荷時のファームウェア用に並べ直すには: tunecrate convert フォルダ デバイス");
inline constexpr const char* kStickIsBlank = CORE_TEXT(
    "Core", "%1 には、まだフロッピーもファイルシステムもありません。スロットに新しいフロッピーを作るには: tunecrate new --count N %1");
inline constexpr const char* kStickUnknown = CORE_TEXT(
    "Core",
    "%1 はフロッピーエミュレーターのスティックに見えません: 先頭に、フロッピーもファイルシステムもパーティション表もありません。"
    "何も書き込みません。");
inline constexpr const char* kStickTooSmall =
    CORE_TEXT("Core", "%1 はスロットのあるスティックではありません: フロッピー 2 枚分より小さいディスクです。");
inline constexpr const char* kIsSlotStick = CORE_TEXT(
    "Core",
    "%1 は工場出荷時のファームウェア用のスティックです（スロット %2 個）。ファイルシステムがないので、イメージファイルを読む"
    "ファームウェアでは読めません。ディスク棚で開いてください: tunecrate --shelf %1");
inline constexpr const char* kSlotEmpty = CORE_TEXT("Core", "空き");
inline constexpr const char* kBeyondLastSlot =
    CORE_TEXT("Core", "%1 は入れません: %2 のスロットは %3 までです。");
inline constexpr const char* kSlotNumberTaken = CORE_TEXT("Core", "%1 は入れません: %2 と同じ番号です。");
inline constexpr const char* kSlotReadBackDiffers =
    CORE_TEXT("Core", "%1 を読み戻すと、書いた内容と違っていました。スティックが壊れているかもしれません。");
inline constexpr const char* kConvertNeeds = CORE_TEXT(
    "Core", "convert には、スティック（デバイスかダンプ）とフォルダ、またはフォルダとスティックを指定してください");
inline constexpr const char* kSlotHoldsNoFloppy =
    CORE_TEXT("Core", "%1 は空きスロットです: フロッピーがありません。新しいフロッピーを作るには: tunecrate new --count 1 スティック");
// A shelf's images as wholes: deleting, renumbering, copying.
inline constexpr const char* kNumberOutOfRange = CORE_TEXT("Core", "番号は 0 から %1 までです。");
inline constexpr const char* kNumberTaken = CORE_TEXT("Core", "番号 %1 は %2 が使っています。");
inline constexpr const char* kSlotIsUnused = CORE_TEXT("Core", "%1 は空きスロットです。");
inline constexpr const char* kCannotTrash = CORE_TEXT("Core", "%1 をごみ箱に移せません。\n%2");
inline constexpr const char* kMoreFailed = CORE_TEXT("Core", "ほかに %1 個がうまくいきませんでした。");
inline constexpr const char* kNoNumberToPass =
    CORE_TEXT("Core", "入れ替えるには、空いている番号が一つ要ります。どれかのイメージを削除してください。");
inline constexpr const char* kShelfFull = CORE_TEXT("Core", "%1 には、もう空いている番号がありません。");
inline constexpr const char* kNumberOption = CORE_TEXT("Core", "番号は 0 から 999 までの数で指定してください");
inline constexpr const char* kRenumberNeeds =
    CORE_TEXT("Core", "renumber には、イメージと新しい番号、または --close-gaps とディスク棚を指定してください");
inline constexpr const char* kCopyNeeds = CORE_TEXT("Core", "copy には、イメージと、コピー先のディスク棚を指定してください");
inline constexpr const char* kStickFull = CORE_TEXT("Core", "%1 には、もう空いているスロットがありません。");
inline constexpr const char* kNoSuchSlot = CORE_TEXT("Core", "%1 にスロット %2 はありません。スロットは 000 から %3 までです。");
inline constexpr const char* kStickDeviceRefused = CORE_TEXT(
    "Core",
    "%1 はリムーバブルでないか、64 GB より大きいデバイスなので、使いません（ハードディスクをスティックと取り違えないため）。"
    "本当にフロッピーエミュレーターのスティックなら、--force-device を付けてください。");
inline constexpr const char* kNotAFolder = CORE_TEXT("Core", "%1 はフォルダではありません");
inline constexpr const char* kCountNeedsShelf =
    CORE_TEXT("Core", "%1 はフォルダではありません。--count にはシェルフのフォルダを指定してください");
inline constexpr const char* kNoFloppyDrive = CORE_TEXT("Core", "フロッピードライブが見つかりませんでした");
inline constexpr const char* kImageOk = CORE_TEXT("Core", "問題なし");
inline constexpr const char* kReadingDisk = CORE_TEXT("Core", "読み込み中");
inline constexpr const char* kWritingDisk = CORE_TEXT("Core", "書き込みと確認中");
// The desktop's disk service, when it cannot help.
inline constexpr const char* kUdisksNotRunning = CORE_TEXT("Core", "udisks2 が動いていません");
inline constexpr const char* kUdisksUnknownDevice = CORE_TEXT("Core", "udisks2 は %1 を知りません");
inline constexpr const char* kUdisksNoDescriptor = CORE_TEXT("Core", "udisks2 から記述子が届きませんでした");
inline constexpr const char* kUdisksNoDrive = CORE_TEXT("Core", "udisks2 は %1 のドライブを知りません");
// The buttons that answer a question for every item still to come.
inline constexpr const char* kYesToAll = CORE_TEXT("Core", "すべてにはい(&A)");
inline constexpr const char* kNoToAll = CORE_TEXT("Core", "すべてにいいえ(&O)");
// A script's answer to a question, after the question.
inline constexpr const char* kAnsweredNo = CORE_TEXT("Core", "いいえ");
inline constexpr const char* kAnsweredCancel = CORE_TEXT("Core", "キャンセル");
// Taking a box of floppies onto a shelf, disk after disk.
inline constexpr const char* kInsertNextDisk = CORE_TEXT("Core", "次のディスクを入れてください");
inline constexpr const char* kIngestInsertDisk = CORE_TEXT("Core", "ディスクを入れてください");
inline constexpr const char* kIngestOpening = CORE_TEXT("Core", "%1 のイメージの曲を調べています...");
inline constexpr const char* kIngestStopped = CORE_TEXT("Core", "取り込みを終えました（%1 枚）。");
inline constexpr const char* kIngestDiskHasBadSectors =
    CORE_TEXT("Core", "このディスクには読めないセクタが %1 個あります。もう一度読むか、次へ進んでください。");
inline constexpr const char* kIngestRetrying = CORE_TEXT("Core", "読めないセクタを読み直しています...");
inline constexpr const char* kIngestWaiting = CORE_TEXT("Core", "%1 にディスクが入るのを待っています（Ctrl+C で終わります）");
inline constexpr const char* kIngestNeedsShelf =
    CORE_TEXT("Core", "%1 はフロッピーのフォルダです。取り込むには、イメージのフォルダかスティックを指定してください");
inline constexpr const char* kIngestNeeds = CORE_TEXT("Core", "ingest には、フロッピードライブとディスク棚を指定してください");
inline constexpr const char* kRetryRange = CORE_TEXT("Core", "--retry には 0 から 99 までの数を指定してください");
inline constexpr const char* kCsvOptionEmpty = CORE_TEXT("Core", "--csv には保存するファイルを指定してください");
inline constexpr const char* kIngestCancelled = CORE_TEXT("Core", "中止しました。イメージは作られていません。");
inline constexpr const char* kIngestNotWritten = CORE_TEXT("Core", "（書き込みませんでした）");
inline constexpr const char* kIngestSongs = CORE_TEXT("Core", "%1 曲");
inline constexpr const char* kIngestSeconds = CORE_TEXT("Core", "%1 秒");
inline constexpr const char* kIngestCopyOf = CORE_TEXT("Core", "%1 と同じ曲");
inline constexpr const char* kIngestUnreadable = CORE_TEXT("Core", "読めないセクタ %1 個");
inline constexpr const char* kIngestDone = CORE_TEXT("Core", "%1 枚のディスクを読み、%2 個のイメージを書きました。");
inline constexpr const char* kIngestCsvHeader = CORE_TEXT(
    "Core", "番号,イメージ,ラベル,題名 1,題名 2,題名 3,題名 4,題名 5,曲数,読めないセクタ,当たった曲,同じ曲のイメージ,秒,状態");
// The time a copy still needs, from its speed so far.
inline constexpr const char* kTimeLeftSeconds = CORE_TEXT("Core", "残り約 %1 秒");
inline constexpr const char* kTimeLeftMinutes = CORE_TEXT("Core", "残り約 %1 分 %2 秒");
// The columns of `list --csv`.
inline constexpr const char* kListCsvHeader = CORE_TEXT("Core", "イメージ,曲番号,題名,バイト数,コメント");
// The command line's help; each option and command keeps its English name.
inline constexpr const char* kUsage = CORE_TEXT(
    "Core",
    "使い方: tunecrate [--floppy PATH | PATH] [--shelf DIR]\n"
    "        tunecrate --new-floppy FILE\n"
    "        tunecrate COMMAND [OPTIONS] PATH...\n"
    "楽器の 1.44 MB フロッピーディスクの曲を管理します。\n"
    "\n"
    "  --floppy PATH      マウントされた 1.44 MB のリムーバブルディスクを探す代わりに、\n"
    "                     PATH をフロッピーとして使います。PATH はフロッピーのフォルダ\n"
    "                     （マウントされたディスクか、その代わりのフォルダ）、1.44 MB の\n"
    "                     イメージファイル、またはマウントせずに使うフロッピードライブの\n"
    "                     デバイス（/dev/sdX）です\n"
    "  PATH               --floppy PATH と同じです\n"
    "  --shelf DIR        フロッピーイメージのフォルダ DIR をディスク棚で開きます\n"
    "  --new-floppy FILE  新しい、フォーマット済みの空の曲フロッピーのイメージを FILE に\n"
    "                     書いて終了します。すでにある FILE は置き換えません\n"
    "  --help             この説明を表示して終了します\n"
    "  --version          バージョンを表示して終了します\n"
    "\n"
    "コマンド（ウィンドウを開きません。終了コードは成功で 0、失敗で 1、使い方の誤りで 2）:\n"
    "  list [--csv] PATH...       イメージ、フロッピーのフォルダ、シェルフのフォルダの\n"
    "                             すべての曲: イメージ、曲番号、題名、バイト数、コメント\n"
    "  export SOURCE DIR          イメージかフロッピーのフォルダのすべての曲を、DIR に\n"
    "                             TITLE.B00/.EVT/.cmt としてコピーします。ファイルは\n"
    "                             置き換えません\n"
    "  import DIR TARGET          DIR の曲を、イメージの空いている曲番号か、シェルフの\n"
    "                             フォルダの最後のイメージ、次に新しい番号付きのイメージに\n"
    "                             入れます。曲は置き換えません\n"
    "  new [--count N] PATH       新しい空の曲フロッピーのイメージ PATH を作ります。\n"
    "                             シェルフのフォルダ PATH には、次の空き番号で N 個作ります\n"
    "  check PATH...              各イメージをプログラムと同じように読み、すべての問題を\n"
    "                             報告します。問題があれば終了コードは 1 です\n"
    "  backup [--replace] FLOPPY IMAGE\n"
    "                             フロッピー全体（/dev/sdb のようなドライブか、マウント\n"
    "                             されたフロッピーのフォルダ）を IMAGE に読み込みます。\n"
    "                             読めないセクタは読み直し、それでも読めなければゼロにして\n"
    "                             IMAGE.log に書きます。その場合の終了コードは 1 です\n"
    "  restore IMAGE DEVICE       1.44 MB のイメージを、ドライブ DEVICE（マウントしない）の\n"
    "                             フロッピー全体に書き、読み戻して比べます。違うセクタが\n"
    "                             あれば終了コードは 1 です\n"
    "  eject [FLOPPY]             フロッピードライブ（指定がなければ見つかったもの）への\n"
    "                             書き込みを済ませ、アンマウントして電源を切ります\n"
    "  convert STICK DIR          工場出荷時のファームウェア用のスティック（デバイスか\n"
    "                             そのダンプ）の使われているスロットを、DIR に番号付きの\n"
    "                             イメージ DSKAnnnn.IMG として書きます。ファイルは置き換えません\n"
    "  convert DIR STICK          DIR の番号付きのイメージを、スティックの同じ番号の\n"
    "                             スロットに書き、読み戻して比べます\n"
    "  remove IMAGE...            ディスク棚のイメージをごみ箱に移します（スティックの\n"
    "                             スロットは空きにします）\n"
    "  renumber [--swap] IMAGE N  イメージを空いている番号 N に移します。名前の後ろの部分は\n"
    "                             そのままです。--swap は番号 N のイメージと入れ替えます\n"
    "  renumber --close-gaps SHELF\n"
    "                             番号のすき間を詰めます（順番はそのまま）\n"
    "  copy [--number N] [--gaps] IMAGE SHELF\n"
    "                             イメージを丸ごと、ディスク棚 SHELF の番号 N（指定がなければ\n"
    "                             いちばん大きい番号の次）にコピーします。--gaps はすき間の\n"
    "                             番号から使います（new も同じ）\n"
    "  duplicates SHELF...        曲の中身が同じイメージと曲を示します。1 行に 1 つ:\n"
    "                             イメージ、曲番号（イメージ全体なら *）、最初のもの、その曲番号\n"
    "  ingest [--count N] [--keep-copies] [--retry N] [--gaps] [--csv FILE] DRIVE SHELF\n"
    "                             ドライブのディスクを次々に読み、ディスク棚の次の番号の\n"
    "                             イメージにします（ラベルは最初の題名）。1 枚ごとに取り出し、\n"
    "                             次のディスクを待ちます。N 枚で、または Ctrl+C で終わります。\n"
    "                             ディスク棚にある曲と同じディスクは書きません（--keep-copies\n"
    "                             なら書きます）。--retry は読めないセクタを N 回読み直します。\n"
    "                             --csv は表を FILE に保存します\n"
    "\n"
    "工場出荷時のファームウェア用のスティックは 1.5 MiB ごとのスロットにフロッピーを\n"
    "持ち、ファイルシステムがありません。PATH にはスティックのデバイスかダンプ（すべての\n"
    "スロット）、または STICK@N（スロット N、例: /dev/sdb@12）を指定できます。\n"
    "リムーバブルでないデバイスや 64 GB より大きいデバイスは、--force-device を\n"
    "付けたときだけ使います。\n"
    "\n"
    "プログラムを起動したフォルダが、最初に表示されるハードディスクのフォルダです。\n");
}  // namespace texts

}  // namespace tunecrate
