<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja">
<context>
    <name>Core</name>
    <message>
        <source>ディスクがいっぱいです！</source>
        <translation>The disk is full!</translation>
    </message>
    <message>
        <source>%1 に空きがありません。</source>
        <translation>There is no room left in %1.</translation>
    </message>
    <message>
        <source>曲に使える空きは %1 バイトです（曲名とコメント用の %2 バイトを除く）。</source>
        <translation>A song may use %1 bytes (%2 bytes are kept for the titles and comments).</translation>
    </message>
    <message>
        <source>転送を中止しました。%1曲のうち%2曲が届きました。</source>
        <translation>The transfer was stopped: %2 of %1 songs arrived.</translation>
    </message>
    <message>
        <source>%1個以上のファイルは格納できません。</source>
        <translation>No more than %1 songs fit on a floppy.</translation>
    </message>
    <message>
        <source>曲番号%1 はすでに存在します。上書きしますか？</source>
        <translation>Song number %1 already exists. Overwrite it?</translation>
    </message>
    <message>
        <source>ファイル %1 はすでに存在します。上書きしますか？</source>
        <translation>The file %1 already exists. Overwrite it?</translation>
    </message>
    <message>
        <source>同じ題名の曲が二つあります。
%1 には先の曲が入りました。</source>
        <translation>Two songs have the same title.
%1 holds the first of them.</translation>
    </message>
    <message>
        <source>曲はすでにこのフォルダにあります。
%1</source>
        <translation>The songs are already in this folder.
%1</translation>
    </message>
    <message>
        <source>この題名はファイル名にできません。
空の題名、「/」を含む題名、「.」と「..」は使えません。</source>
        <translation>This title cannot be used as a file name.
A title may not be empty, contain &quot;/&quot;, or be &quot;.&quot; or &quot;..&quot;.</translation>
    </message>
    <message>
        <source>題名は17文字を超えてはいけません。</source>
        <translation>A title may not be longer than 17 characters.</translation>
    </message>
    <message>
        <source>フロッピーディスクに書けない文字が含まれています：「%1」
変更は保存されませんでした。</source>
        <translation>The text holds characters that cannot be written to the floppy disk: &quot;%1&quot;
The change was not saved.</translation>
    </message>
    <message>
        <source>その名前のファイルはすでに存在します。
違う名前にしてください。</source>
        <translation>A file with that name already exists.
Please choose another name.</translation>
    </message>
    <message>
        <source>%1 の名前を変更できません。
%2
曲の名前は変更されませんでした。</source>
        <translation>Cannot rename %1.
%2
The song was not renamed.</translation>
    </message>
    <message>
        <source>曲「%1」は名前に改行を含むため、ドラッグできません。
ファイルの名前を変えてから、もう一度やり直してください。</source>
        <translation>The song &quot;%1&quot; cannot be dragged because its name contains a line break.
Rename the file, then try again.</translation>
    </message>
    <message>
        <source>ディレクトリ「%1」は名前に改行を含むため、その中の曲はドラッグできません。
ディレクトリの名前を変えてから、もう一度やり直してください。</source>
        <translation>The songs in the folder &quot;%1&quot; cannot be dragged because the folder&apos;s name contains a line break.
Rename the folder, then try again.</translation>
    </message>
    <message>
        <source>フロッピーの内容が、ほかのプログラムによって変更されていました。
一覧を読み直しました。</source>
        <translation>Another program has changed the floppy.
The list has been read again.</translation>
    </message>
    <message>
        <source>操作は行われませんでした。もう一度やり直してください。</source>
        <translation>Nothing was done. Please try again.</translation>
    </message>
    <message>
        <source>空き %1 %2</source>
        <translation>Free %1 %2</translation>
    </message>
    <message>
        <source>新規ディレクトリ</source>
        <translation>New folder</translation>
    </message>
    <message>
        <source>ディレクトリを作成できません！</source>
        <translation>Cannot create the folder!</translation>
    </message>
    <message>
        <source>同名のファイルが存在します。</source>
        <translation>A file with the same name already exists.</translation>
    </message>
    <message>
        <source>フォルダの名前を変更できません。

%1</source>
        <translation>Cannot rename the folder.

%1</translation>
    </message>
    <message>
        <source>ディレクトリが選択されていません。</source>
        <translation>No folder is selected.</translation>
    </message>
    <message>
        <source>ディレクトリ&quot;%1&quot; は削除できません。
ルート、ホーム、ドライブの最上位のディレクトリか、それを含むディレクトリです。</source>
        <translation>The folder &quot;%1&quot; cannot be deleted.
It is the root folder, your home folder or a drive&apos;s top folder, or it holds one of them.</translation>
    </message>
    <message>
        <source>ディレクトリ&quot;%1&quot; は削除できません。
ドライブがマウントされているディレクトリです。</source>
        <translation>The folder &quot;%1&quot; cannot be deleted.
A drive is mounted on it.</translation>
    </message>
    <message>
        <source>ディレクトリ&quot;%1&quot; を完全には削除できませんでした。
残ったもの:</source>
        <translation>The folder &quot;%1&quot; could not be deleted completely.
Left behind:</translation>
    </message>
    <message>
        <source>ディレクトリ&quot;%1&quot; と、全ての下位ディレクトリのデータは消去されます。</source>
        <translation>The folder &quot;%1&quot; and all its subfolders will be deleted with everything in them.</translation>
    </message>
    <message>
        <source>1 から %1 までの数を指定してください。</source>
        <translation>Enter a number from 1 to %1.</translation>
    </message>
    <message>
        <source>空いている番号は %1 個だけです。%2 より先の番号は付けられません。</source>
        <translation>Only %1 numbers are free. No number can go beyond %2.</translation>
    </message>
    <message>
        <source>番号の付いたイメージ（DSKA0003.IMG のような名前）にだけ名前を付けられます。</source>
        <translation>Only numbered images (named like DSKA0003.IMG) can be labelled.</translation>
    </message>
    <message>
        <source>名前は %1 バイトまでで、/ や制御文字を含めることはできません。</source>
        <translation>A label may be at most %1 bytes long and may not contain / or control characters.</translation>
    </message>
    <message>
        <source>%1 を開く権限がありません。
マウントされていないフロッピードライブを使うには、disk グループに入ってください（sudo adduser %2 disk のあと、ログインし直す）。
または udisks2 が動いていれば、そこから開く許可を求めます。</source>
        <translation>You may not open %1.
To use a floppy drive that is not mounted, join the disk group (sudo adduser %2 disk, then log in again).
Or, where udisks2 runs, the program asks it for access.</translation>
    </message>
    <message>
        <source>%1 は使用中です（マウントされているか、ほかのプログラムが開いています）。</source>
        <translation>%1 is in use (it is mounted, or another program has it open).</translation>
    </message>
    <message>
        <source>%1 にディスクが入っていません。</source>
        <translation>There is no disk in %1.</translation>
    </message>
    <message>
        <source>%1 はマウントされたフロッピーでも、フロッピードライブでもありません。</source>
        <translation>%1 is neither a mounted floppy nor a floppy drive.</translation>
    </message>
    <message>
        <source>%1 は 1.44 MB のフロッピーではありません（%2 バイト）。</source>
        <translation>%1 is not a 1.44 MB floppy (%2 bytes).</translation>
    </message>
    <message>
        <source>%1 は 1.44 MB の FAT12 フロッピーイメージではないので、書き込みません。
%2</source>
        <translation>%1 is not a 1.44 MB FAT12 floppy image, so it is not written.
%2</translation>
    </message>
    <message>
        <source>%1 はすでに存在します。</source>
        <translation>%1 already exists.</translation>
    </message>
    <message>
        <source>%1 は %2 にマウントされているので、書き込みません。
先にアンマウントしてください（umount %2）。</source>
        <translation>%1 is mounted at %2, so nothing is written.
Unmount it first (umount %2).</translation>
    </message>
    <message>
        <source>%1 を %2 に保存しました。読めないセクタはありませんでした。</source>
        <translation>%1 was saved into %2. Every sector was read.</translation>
    </message>
    <message>
        <source>%1 を %2 に保存しましたが、%3 個のセクタが読めず、ゼロで埋めました。
詳しくは %4 をご覧ください。</source>
        <translation>%1 was saved into %2, but %3 sectors could not be read and are zeros.
%4 lists them.</translation>
    </message>
    <message>
        <source>読めなかったセクタを含む曲:</source>
        <translation>Songs with unreadable sectors:</translation>
    </message>
    <message>
        <source>読めなかったセクタを含むほかのファイル:</source>
        <translation>Other files with unreadable sectors:</translation>
    </message>
    <message>
        <source>保存を中止しました。イメージは作られていません。</source>
        <translation>The backup was cancelled. No image was written.</translation>
    </message>
    <message>
        <source>%1 を %2 に書き、読み戻して確かめました。すべてのセクタが一致しています。</source>
        <translation>%1 was written to %2 and read back: every sector matches.</translation>
    </message>
    <message>
        <source>%1 を %2 に書きましたが、%3 個のセクタが書けないか、読み戻すと一致しません。
セクタ: %4</source>
        <translation>%1 was written to %2, but %3 sectors could not be written or read back differently.
Sectors: %4</translation>
    </message>
    <message>
        <source>書き込みを中止しました。%1 のフロッピーには、イメージの一部だけが書かれています。</source>
        <translation>Writing was cancelled. The floppy in %1 holds only part of the image.</translation>
    </message>
    <message>
        <source>%1 のフロッピーを取り出せます。</source>
        <translation>The floppy in %1 can be taken out.</translation>
    </message>
    <message>
        <source>%1 のフロッピーはアンマウントしたので、取り出せます。
（ドライブの電源は切れませんでした: %2）</source>
        <translation>The floppy in %1 is unmounted and can be taken out.
(The drive could not be powered off: %2)</translation>
    </message>
    <message>
        <source>%1 をアンマウントできませんでした。まだ取り出さないでください。
%2</source>
        <translation>%1 could not be unmounted. Do not take the floppy out yet.
%2</translation>
    </message>
    <message>
        <source>%1 への書き込みはすべて済みました。フロッピーを取り出せます。</source>
        <translation>Everything written to %1 is on the disk. The floppy can be taken out.</translation>
    </message>
    <message>
        <source>書き込みはすべてディスクに送りました。
udisks2 が動いていないので、ここではアンマウントできません。取り出す前に、ファイルマネージャーで取り出すか、umount %1 を実行してください。</source>
        <translation>Everything written has been sent to the disk.
udisks2 is not running, so the floppy cannot be unmounted here. Before taking it out, eject it in the file manager or run umount %1.</translation>
    </message>
    <message>
        <source>%1 のフロッピーの内容をすべて消して、%2 の内容を書き込みます。
よろしいですか？</source>
        <translation>Everything on the floppy in %1 will be replaced by %2.
Go on?</translation>
    </message>
    <message>
        <source>曲番号%1 は使えません。
%2</source>
        <translation>Song number %1 cannot be used.
%2</translation>
    </message>
    <message>
        <source>%1 には空いている曲番号がありません。</source>
        <translation>%1 has no free song number.</translation>
    </message>
    <message>
        <source>その前の曲で止まったため、移されませんでした。</source>
        <translation>The transfer stopped at an earlier song.</translation>
    </message>
    <message>
        <source>%1 はフォルダです。イメージとして読み書きしません。</source>
        <translation>%1 is a folder; it is neither read nor written as an image.</translation>
    </message>
    <message>
        <source>%1 は FIFO です。イメージとして読み書きしません。</source>
        <translation>%1 is a FIFO; it is neither read nor written as an image.</translation>
    </message>
    <message>
        <source>%1 はデバイスです。イメージとして読み書きしません。</source>
        <translation>%1 is a device; it is neither read nor written as an image.</translation>
    </message>
    <message>
        <source>%1 は普通のファイルではありません。イメージとして読み書きしません。</source>
        <translation>%1 is not a plain file; it is neither read nor written as an image.</translation>
    </message>
    <message>
        <source>%1 はどこにもつながっていないシンボリックリンクです。</source>
        <translation>%1 is a symbolic link that leads nowhere.</translation>
    </message>
    <message>
        <source>%1 はデバイスへのシンボリックリンクです。リンクを通しては読み書きしません。</source>
        <translation>%1 is a symbolic link to a device; nothing is read or written through a link.</translation>
    </message>
    <message>
        <source>%1 はシェルフの外のイメージへのシンボリックリンクです。リンクを通しては読み書きしません。</source>
        <translation>%1 is a symbolic link to an image outside the shelf; nothing is read or written through a link.</translation>
    </message>
    <message>
        <source>%1 はシンボリックリンクです。リンクを通しては読み書きしません。</source>
        <translation>%1 is a symbolic link; nothing is read or written through a link.</translation>
    </message>
    <message>
        <source>名前が正しい UTF-8 ではありません。</source>
        <translation>The label is not valid UTF-8.</translation>
    </message>
    <message>
        <source>点だけの名前は付けられません。</source>
        <translation>A label cannot be dots alone.</translation>
    </message>
    <message>
        <source>FAT32 のスティックの名前には \ : * ? &quot; &lt; &gt; | を使えず、名前の終わりに点も置けません。</source>
        <translation>A name on a FAT32 stick cannot hold \ : * ? &quot; &lt; &gt; | nor end in a dot.</translation>
    </message>
    <message>
        <source>%1 は %2 と大文字・小文字しか違いません。FAT32 のスティックでは同じ名前なので、付けられません。</source>
        <translation>%1 differs from %2 only in case. On a FAT32 stick, names that differ only in case are one name, so it cannot be given.</translation>
    </message>
    <message>
        <source>%1 は置かれませんでした: %2</source>
        <translation>%1 was not placed: %2</translation>
    </message>
    <message>
        <source>%1 は壊れています: %2
書き込む前に、ディスク検査ツール（fsck.fat）で修復してください。</source>
        <translation>%1 is damaged: %2
Repair it with a disk checker (fsck.fat) before writing to it.</translation>
    </message>
    <message>
        <source>2 つの FAT が、クラスタ %1 の項目で食い違っています。</source>
        <translation>The two FATs differ at the entry of cluster %1.</translation>
    </message>
    <message>
        <source>2 つの FAT が、先頭の予約項目（メディアの種類）で食い違っています。</source>
        <translation>The two FATs differ in their reserved first entries (the media type).</translation>
    </message>
    <message>
        <source>FAT の先頭の予約項目（メディアの種類）が壊れています（%1）。</source>
        <translation>The reserved first entry of the FAT (the media type) is damaged (%1).</translation>
    </message>
    <message>
        <source>%1: クラスタチェーンがクラスタ %2 から、このディスクのクラスタではない %3 へ続いています。</source>
        <translation>%1: its cluster chain goes on from cluster %2 to %3, which is not a cluster of the disk.</translation>
    </message>
    <message>
        <source>%1: 最初のクラスタ %2 は、このディスクのクラスタではありません。</source>
        <translation>%1: its first cluster, %2, is not a cluster of the disk.</translation>
    </message>
    <message>
        <source>%1: クラスタチェーンに、FAT で空きとされているクラスタ %2 が含まれています。</source>
        <translation>%1: its cluster chain holds cluster %2, which the FAT marks free.</translation>
    </message>
    <message>
        <source>%1: クラスタチェーンに、FAT で不良とされているクラスタ %2 が含まれています。</source>
        <translation>%1: its cluster chain holds cluster %2, which the FAT marks bad.</translation>
    </message>
    <message>
        <source>%1: クラスタチェーンがクラスタ %2 からクラスタ %3 へ戻り、輪になっています。</source>
        <translation>%1: its cluster chain loops from cluster %2 back to cluster %3.</translation>
    </message>
    <message>
        <source>%1: クラスタチェーンは %2 クラスタしかなく、%3 バイトには足りません。</source>
        <translation>%1: its cluster chain of %2 clusters is too short for its %3 bytes.</translation>
    </message>
    <message>
        <source>%1: クラスタチェーンは %2 クラスタあり、%3 バイトに必要な数より長くなっています。</source>
        <translation>%1: its cluster chain of %2 clusters is longer than its %3 bytes need.</translation>
    </message>
    <message>
        <source>%1: %2 バイトあるはずですが、クラスタがありません。</source>
        <translation>%1: it should hold %2 bytes but has no cluster.</translation>
    </message>
    <message>
        <source>%1: フォルダですが、クラスタがありません。</source>
        <translation>%1: it is a folder but has no cluster.</translation>
    </message>
    <message>
        <source>%1: フォルダなのに、大きさ（%2 バイト）が書かれています。</source>
        <translation>%1: it is a folder but gives a size (%2 bytes).</translation>
    </message>
    <message>
        <source>%1 は、クラスタ %2 を %3 と共有しています。</source>
        <translation>%1 shares cluster %2 with %3.</translation>
    </message>
    <message>
        <source>%1 個のクラスタが、どのファイルにも属さないのに使用中になっています（最初はクラスタ %2）。</source>
        <translation>%1 clusters are marked in use but belong to no file (the first is cluster %2).</translation>
    </message>
    <message>
        <source>フォルダ %1 のエントリ %2 は、どのファイルにも属さない長い名前の一部です。</source>
        <translation>Entry %2 of the folder %1 is part of a long name that belongs to no file.</translation>
    </message>
    <message>
        <source>フォルダ %1 のエントリ %2 は長い名前の一部ですが、クラスタ（%3）が書かれています。</source>
        <translation>Entry %2 of the folder %1 is part of a long name but gives a cluster (%3).</translation>
    </message>
    <message>
        <source>%1 は読み取り専用なので、変更しません。
変更するには、先に読み取り専用の属性を外してください。</source>
        <translation>%1 is read-only, so it is not changed.
Take away its read-only attribute first to change it.</translation>
    </message>
    <message>
        <source>イメージファイル %1 には書き込めません（読み取り専用です）。</source>
        <translation>The image file %1 cannot be written (it is read-only).</translation>
    </message>
    <message>
        <source>%1 に新しいファイルは書き込みましたが、古い内容の領域を解放できませんでした（%2）。
ディスク検査ツール（fsck.fat）で回収できます。開き直すまで、このイメージには何も書き込みません。</source>
        <translation>The new files are in place on %1, but the room of their old contents could not be freed (%2).
A disk checker (fsck.fat) will reclaim it. Nothing more is written to the image until it is opened again.</translation>
    </message>
    <message>
        <source>フロッピーのルートフォルダがいっぱいです。</source>
        <translation>The floppy&apos;s root folder is full.</translation>
    </message>
    <message>
        <source>%1 のファイルの変更を最後まで終えられませんでした。
%2
次にこのフォルダを開くときに、変更を終えます。</source>
        <translation>The change of the files in %1 could not be finished.
%2
It will be finished when this folder is next opened.</translation>
    </message>
    <message>
        <source>Error!</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>Overwrite?</source>
        <translation>Overwrite?</translation>
    </message>
    <message>
        <source>Notice</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>Cannot open %1song.nam.
Please insert valid floppy disk.</source>
        <translation>Cannot open %1song.nam.
Please insert valid floppy disk.</translation>
    </message>
    <message>
        <source>%1 を開けません。
%2</source>
        <translation>Cannot open %1.
%2</translation>
    </message>
    <message>
        <source>%1 を読めません。
%2</source>
        <translation>Cannot read %1.
%2</translation>
    </message>
    <message>
        <source>%1 の大きさを読めません。
%2</source>
        <translation>Cannot read the size of %1.
%2</translation>
    </message>
    <message>
        <source>%1 に書き込めません。
%2</source>
        <translation>Cannot write %1.
%2</translation>
    </message>
    <message>
        <source>%1 をロックできません。
%2</source>
        <translation>Cannot lock %1.
%2</translation>
    </message>
    <message>
        <source>%1 をコピーできません。
%2</source>
        <translation>Cannot copy %1.
%2</translation>
    </message>
    <message>
        <source>%1 を削除できません。
%2</source>
        <translation>Cannot delete %1.
%2</translation>
    </message>
    <message>
        <source>%1 の名前を変更できません。
%2</source>
        <translation>Cannot rename %1.
%2</translation>
    </message>
    <message>
        <source>%1 の名前を %2 に変更できません。
%3</source>
        <translation>Cannot rename %1 to %2.
%3</translation>
    </message>
    <message>
        <source>ファイルがありません</source>
        <translation>No such file</translation>
    </message>
    <message>
        <source>%1 を読めません。
ファイルが壊れているか、フロッピーには大きすぎます。</source>
        <translation>Cannot read %1.
The file is damaged or too large for a floppy.</translation>
    </message>
    <message>
        <source>%1 はフォルダです。</source>
        <translation>%1 is a folder.</translation>
    </message>
    <message>
        <source>%1 はシンボリックリンクです。リンクを通しては書き込みません。</source>
        <translation>%1 is a symbolic link; nothing is written through links.</translation>
    </message>
    <message>
        <source>%1 は普通のファイルではありません。</source>
        <translation>%1 is not a plain file.</translation>
    </message>
    <message>
        <source>%1 をそれ自身の上にコピーすることになります。</source>
        <translation>%1 would be copied onto itself.</translation>
    </message>
    <message>
        <source>%1 はフロッピーに置ける名前（8.3 形式）ではありません。</source>
        <translation>%1 is not a name a floppy can hold (8.3 letters).</translation>
    </message>
    <message>
        <source>%1 はフロッピーイメージのファイルではありません。</source>
        <translation>%1 is not a floppy image file.</translation>
    </message>
    <message>
        <source>%1 はほかのプログラムが使用中です。
そちらで閉じてから、もう一度やり直してください。</source>
        <translation>%1 is in use by another program.
Close it there and try again.</translation>
    </message>
    <message>
        <source>%1 は 1.44 MB のフロッピーイメージではありません: %2</source>
        <translation>%1 is not a 1.44 MB floppy image: %2</translation>
    </message>
    <message>
        <source>%1 バイトあり、%2 バイトではありません。</source>
        <translation>it holds %1 bytes, not %2.</translation>
    </message>
    <message>
        <source>ブートセクタより短くなっています。</source>
        <translation>it is shorter than a boot sector.</translation>
    </message>
    <message>
        <source>1 セクタのバイト数が %2 です（%1 でなければなりません）。</source>
        <translation>bytes per sector must be %1, not %2.</translation>
    </message>
    <message>
        <source>1 クラスタのセクタ数が %2 です（%1 でなければなりません）。</source>
        <translation>sectors per cluster must be %1, not %2.</translation>
    </message>
    <message>
        <source>FAT の数が %2 です（%1 でなければなりません）。</source>
        <translation>the number of FATs must be %1, not %2.</translation>
    </message>
    <message>
        <source>ルートのエントリ数が %2 です（%1 でなければなりません）。</source>
        <translation>root entries must be %1, not %2.</translation>
    </message>
    <message>
        <source>セクタ数が %2 です（%1 でなければなりません）。</source>
        <translation>sectors must be %1, not %2.</translation>
    </message>
    <message>
        <source>途中で切れています。</source>
        <translation>it is truncated.</translation>
    </message>
    <message>
        <source>ブートセクタに FAT の領域がありません。</source>
        <translation>the boot sector gives no room for the FAT.</translation>
    </message>
    <message>
        <source>FAT とルートがディスク全体を占めています。</source>
        <translation>its FATs and root fill the whole disk.</translation>
    </message>
    <message>
        <source>FAT がディスクの大きさに足りません。</source>
        <translation>its FAT is too small for the disk.</translation>
    </message>
    <message>
        <source>%1 は %2 バイトあり、%3 バイトではありません。</source>
        <translation>%1 holds %2 bytes, not %3.</translation>
    </message>
    <message>
        <source>%1 は %2 バイトあり、%3 バイトではありません。フロッピーエミュレーターが受け付けないかもしれません。</source>
        <translation>%1 holds %2 bytes, not %3: a floppy emulator may refuse it.</translation>
    </message>
    <message>
        <source>%1 は曲のフロッピーではありません。song.nam がありません。</source>
        <translation>%1 is not a song floppy: it has no song.nam.</translation>
    </message>
    <message>
        <source>%1 への書き込みが失敗しました（%2）: %3
もう一度開くまで、このイメージには何も書き込みません。</source>
        <translation>A write to %1 failed (%2): %3.
Nothing more is written to it until it is opened again.</translation>
    </message>
    <message>
        <source>ファイルのデータ</source>
        <translation>file data</translation>
    </message>
    <message>
        <source>フォルダ</source>
        <translation>directory</translation>
    </message>
    <message>
        <source>FAT</source>
        <translation>FAT</translation>
    </message>
    <message>
        <source>ディスクへの送り出し</source>
        <translation>flush</translation>
    </message>
    <message>
        <source>番号,ファイル,題名 1,題名 2,題名 3,題名 4,題名 5,曲数,空き kb,状態</source>
        <translation>number,file,title 1,title 2,title 3,title 4,title 5,songs,free kb,state</translation>
    </message>
    <message>
        <source>使い方は &apos;tunecrate --help&apos; で表示されます。</source>
        <translation>Try &apos;tunecrate --help&apos;.</translation>
    </message>
    <message>
        <source>不明なオプション %1</source>
        <translation>unknown option %1</translation>
    </message>
    <message>
        <source>%2 には不明なオプション %1</source>
        <translation>unknown option %1 for %2</translation>
    </message>
    <message>
        <source>余分な引数 %1</source>
        <translation>unexpected argument %1</translation>
    </message>
    <message>
        <source>--count には 1 から 1000 までの数を指定してください</source>
        <translation>option --count needs a number from 1 to 1000</translation>
    </message>
    <message>
        <source>--floppy にはフォルダかイメージファイルを指定してください</source>
        <translation>option --floppy needs a folder or an image file</translation>
    </message>
    <message>
        <source>--shelf にはフォルダを指定してください</source>
        <translation>option --shelf needs a folder</translation>
    </message>
    <message>
        <source>--new-floppy にはファイルを指定してください</source>
        <translation>option --new-floppy needs a file</translation>
    </message>
    <message>
        <source>export には、イメージかフロッピーのフォルダ、次にフォルダを指定してください</source>
        <translation>export needs an image or floppy folder, then a folder</translation>
    </message>
    <message>
        <source>import には、曲のフォルダ、次にイメージかシェルフのフォルダを指定してください</source>
        <translation>import needs a folder of songs, then an image or a shelf folder</translation>
    </message>
    <message>
        <source>new には、イメージファイルかシェルフのフォルダを一つ指定してください</source>
        <translation>new needs one image file or shelf folder</translation>
    </message>
    <message>
        <source>backup には、フロッピードライブかマウントされたフロッピー、次にイメージファイルを指定してください</source>
        <translation>backup needs a floppy drive or mounted floppy, then an image file</translation>
    </message>
    <message>
        <source>restore には、イメージファイル、次にフロッピードライブを指定してください</source>
        <translation>restore needs an image file, then a floppy drive</translation>
    </message>
    <message>
        <source>eject に指定できるのは、フロッピードライブかマウントされたフロッピー一つまでです</source>
        <translation>eject needs at most one floppy drive or mounted floppy</translation>
    </message>
    <message>
        <source>%1 には、イメージ、フロッピーのフォルダ、シェルフのフォルダを一つ以上指定してください</source>
        <translation>%1 needs at least one image, floppy folder or shelf folder</translation>
    </message>
    <message>
        <source>%1 にはフロッピーイメージがありません</source>
        <translation>%1 holds no floppy images</translation>
    </message>
    <message>
        <source>%1 はフォルダではありません</source>
        <translation>%1 is not a folder</translation>
    </message>
    <message>
        <source>%1 はフォルダではありません。--count にはシェルフのフォルダを指定してください</source>
        <translation>%1 is not a folder; --count needs a shelf folder</translation>
    </message>
    <message>
        <source>フロッピードライブが見つかりませんでした</source>
        <translation>no floppy drive was found</translation>
    </message>
    <message>
        <source>問題なし</source>
        <translation>ok</translation>
    </message>
    <message>
        <source>読み込み中</source>
        <translation>reading</translation>
    </message>
    <message>
        <source>書き込みと確認中</source>
        <translation>writing and verifying</translation>
    </message>
    <message>
        <source>いいえ</source>
        <translation>no</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>cancel</translation>
    </message>
    <message>
        <source>イメージ,曲番号,題名,バイト数,コメント</source>
        <translation>image,slot,title,bytes,comment</translation>
    </message>
    <message>
        <source>udisks2 が動いていません</source>
        <translation>udisks2 is not running</translation>
    </message>
    <message>
        <source>udisks2 は %1 を知りません</source>
        <translation>udisks2 does not know %1</translation>
    </message>
    <message>
        <source>udisks2 から記述子が届きませんでした</source>
        <translation>udisks2 sent no descriptor</translation>
    </message>
    <message>
        <source>udisks2 は %1 のドライブを知りません</source>
        <translation>udisks2 knows no drive for %1</translation>
    </message>
    <message>
        <source>すべてにはい(&amp;A)</source>
        <translation>Yes to &amp;All</translation>
    </message>
    <message>
        <source>すべてにいいえ(&amp;O)</source>
        <translation>N&amp;o to All</translation>
    </message>
    <message>
        <source>%1 は、イメージファイルを読むファームウェア用のスティックです（%2 があります）。工場出荷時のファームウェアはこのスティックを読めません。フロッピーはスティックの上のファイルです: マウントして、そのフォルダをディスク棚で開いてください。工場出荷時のファームウェア用に並べ直すには: tunecrate convert フォルダ デバイス</source>
        <translation>%1 is a stick for a firmware that reads image files (it holds %2). The factory firmware cannot read it. Its floppies are files on the stick: mount it and open its folder on the disk shelf. To lay them out for the factory firmware: tunecrate convert FOLDER DEVICE</translation>
    </message>
    <message>
        <source>%1 には、まだフロッピーもファイルシステムもありません。スロットに新しいフロッピーを作るには: tunecrate new --count N %1</source>
        <translation>%1 holds neither floppies nor a file system yet. To make new floppies in its slots: tunecrate new --count N %1</translation>
    </message>
    <message>
        <source>%1 はフロッピーエミュレーターのスティックに見えません: 先頭に、フロッピーもファイルシステムもパーティション表もありません。何も書き込みません。</source>
        <translation>%1 does not look like a floppy emulator&apos;s stick: it starts with no floppy, no file system and no partition table. Nothing is written to it.</translation>
    </message>
    <message>
        <source>%1 はスロットのあるスティックではありません: フロッピー 2 枚分より小さいディスクです。</source>
        <translation>%1 is no stick with slots: it is smaller than two floppies.</translation>
    </message>
    <message>
        <source>%1 は工場出荷時のファームウェア用のスティックです（スロット %2 個）。ファイルシステムがないので、イメージファイルを読むファームウェアでは読めません。ディスク棚で開いてください: tunecrate --shelf %1</source>
        <translation>%1 is a stick for the factory firmware (%2 slots). It has no file system, so a firmware that reads image files cannot read it. Open it on the disk shelf: tunecrate --shelf %1</translation>
    </message>
    <message>
        <source>空き</source>
        <translation>empty</translation>
    </message>
    <message>
        <source>%1 は入れません: %2 のスロットは %3 までです。</source>
        <translation>%1 is left out: the slots of %2 end at %3.</translation>
    </message>
    <message>
        <source>%1 は入れません: %2 と同じ番号です。</source>
        <translation>%1 is left out: it has the same number as %2.</translation>
    </message>
    <message>
        <source>%1 を読み戻すと、書いた内容と違っていました。スティックが壊れているかもしれません。</source>
        <translation>%1 did not read back as written. The stick may be failing.</translation>
    </message>
    <message>
        <source>convert には、スティック（デバイスかダンプ）とフォルダ、またはフォルダとスティックを指定してください</source>
        <translation>convert needs a stick (a device or a dump) and a folder, or a folder and a stick</translation>
    </message>
    <message>
        <source>%1 は空きスロットです: フロッピーがありません。新しいフロッピーを作るには: tunecrate new --count 1 スティック</source>
        <translation>%1 is an empty slot: it holds no floppy. To make a new floppy: tunecrate new --count 1 STICK</translation>
    </message>
    <message>
        <source>%1 には、もう空いているスロットがありません。</source>
        <translation>%1 has no unused slot left.</translation>
    </message>
    <message>
        <source>%1 にスロット %2 はありません。スロットは 000 から %3 までです。</source>
        <translation>%1 has no slot %2. Its slots are 000 to %3.</translation>
    </message>
    <message>
        <source>%1 はリムーバブルでないか、64 GB より大きいデバイスなので、使いません（ハードディスクをスティックと取り違えないため）。本当にフロッピーエミュレーターのスティックなら、--force-device を付けてください。</source>
        <translation>%1 is not removable, or is larger than 64 GB, so it is not used (a hard disk must never be taken for a stick). If it really is a floppy emulator&apos;s stick, add --force-device.</translation>
    </message>
    <message>
        <source>番号は 0 から %1 までです。</source>
        <translation>Numbers go from 0 to %1.</translation>
    </message>
    <message>
        <source>番号 %1 は %2 が使っています。</source>
        <translation>Number %1 is taken by %2.</translation>
    </message>
    <message>
        <source>%1 は空きスロットです。</source>
        <translation>%1 is an empty slot.</translation>
    </message>
    <message>
        <source>%1 をごみ箱に移せません。
%2</source>
        <translation>Cannot move %1 to the trash.
%2</translation>
    </message>
    <message>
        <source>ほかに %1 個がうまくいきませんでした。</source>
        <translation>%1 more did not go through.</translation>
    </message>
    <message>
        <source>入れ替えるには、空いている番号が一つ要ります。どれかのイメージを削除してください。</source>
        <translation>A swap needs one free number. Delete an image first.</translation>
    </message>
    <message>
        <source>%1 には、もう空いている番号がありません。</source>
        <translation>%1 has no free number left.</translation>
    </message>
    <message>
        <source>番号は 0 から 999 までの数で指定してください</source>
        <translation>give the number as a figure from 0 to 999</translation>
    </message>
    <message>
        <source>renumber には、イメージと新しい番号、または --close-gaps とディスク棚を指定してください</source>
        <translation>renumber needs an image and its new number, or --close-gaps and a shelf</translation>
    </message>
    <message>
        <source>copy には、イメージと、コピー先のディスク棚を指定してください</source>
        <translation>copy needs an image and the shelf to copy it to</translation>
    </message>
    <message>
        <source>不明なコマンド %1（コマンドは list、export、import、new、check、backup、restore、eject、convert、remove、renumber、copy、duplicates、ingest です）</source>
        <translation>unknown command %1 (the commands are list, export, import, new, check, backup, restore, eject, convert, remove, renumber, copy, duplicates and ingest)</translation>
    </message>
    <message>
        <source>次のディスクを入れてください</source>
        <translation>Insert the next disk</translation>
    </message>
    <message>
        <source>ディスクを入れてください</source>
        <translation>Insert a disk</translation>
    </message>
    <message>
        <source>%1 のイメージの曲を調べています...</source>
        <translation>Looking at the songs of the images in %1...</translation>
    </message>
    <message>
        <source>取り込みを終えました（%1 枚）。</source>
        <translation>Done: %1 disks.</translation>
    </message>
    <message>
        <source>このディスクには読めないセクタが %1 個あります。もう一度読むか、次へ進んでください。</source>
        <translation>This disk has %1 unreadable sectors. Read it again, or go on to the next.</translation>
    </message>
    <message>
        <source>読めないセクタを読み直しています...</source>
        <translation>Reading the unreadable sectors again...</translation>
    </message>
    <message>
        <source>%1 にディスクが入るのを待っています（Ctrl+C で終わります）</source>
        <translation>Waiting for a disk in %1 (Ctrl+C ends)</translation>
    </message>
    <message>
        <source>%1 はフロッピーのフォルダです。取り込むには、イメージのフォルダかスティックを指定してください</source>
        <translation>%1 is a floppy folder. To take disks in, give a folder of images or a stick</translation>
    </message>
    <message>
        <source>ingest には、フロッピードライブとディスク棚を指定してください</source>
        <translation>ingest needs a floppy drive, then a shelf</translation>
    </message>
    <message>
        <source>--retry には 0 から 99 までの数を指定してください</source>
        <translation>--retry takes a number from 0 to 99</translation>
    </message>
    <message>
        <source>--csv には保存するファイルを指定してください</source>
        <translation>--csv needs the file to save into</translation>
    </message>
    <message>
        <source>中止しました。イメージは作られていません。</source>
        <translation>Stopped. No image was made.</translation>
    </message>
    <message>
        <source>（書き込みませんでした）</source>
        <translation>(not written)</translation>
    </message>
    <message>
        <source>%1 曲</source>
        <translation>%1 songs</translation>
    </message>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 と同じ曲</source>
        <translation>same songs as %1</translation>
    </message>
    <message>
        <source>読めないセクタ %1 個</source>
        <translation>%1 unreadable sectors</translation>
    </message>
    <message>
        <source>%1 枚のディスクを読み、%2 個のイメージを書きました。</source>
        <translation>%1 disks read, %2 images written.</translation>
    </message>
    <message>
        <source>番号,イメージ,ラベル,題名 1,題名 2,題名 3,題名 4,題名 5,曲数,読めないセクタ,当たった曲,同じ曲のイメージ,秒,状態</source>
        <translation>Number,Image,Label,Title 1,Title 2,Title 3,Title 4,Title 5,Songs,Unreadable sectors,Songs hit,Same songs as,Seconds,State</translation>
    </message>
    <message>
        <source>残り約 %1 秒</source>
        <translation>about %1 s left</translation>
    </message>
    <message>
        <source>残り約 %1 分 %2 秒</source>
        <translation>about %1 min %2 s left</translation>
    </message>
    <message>
        <source>使い方: tunecrate [--floppy PATH | PATH] [--shelf DIR]
        tunecrate --new-floppy FILE
        tunecrate COMMAND [OPTIONS] PATH...
楽器の 1.44 MB フロッピーディスクの曲を管理します。

  --floppy PATH      マウントされた 1.44 MB のリムーバブルディスクを探す代わりに、
                     PATH をフロッピーとして使います。PATH はフロッピーのフォルダ
                     （マウントされたディスクか、その代わりのフォルダ）、1.44 MB の
                     イメージファイル、またはマウントせずに使うフロッピードライブの
                     デバイス（/dev/sdX）です
  PATH               --floppy PATH と同じです
  --shelf DIR        フロッピーイメージのフォルダ DIR をディスク棚で開きます
  --new-floppy FILE  新しい、フォーマット済みの空の曲フロッピーのイメージを FILE に
                     書いて終了します。すでにある FILE は置き換えません
  --help             この説明を表示して終了します
  --version          バージョンを表示して終了します

コマンド（ウィンドウを開きません。終了コードは成功で 0、失敗で 1、使い方の誤りで 2）:
  list [--csv] PATH...       イメージ、フロッピーのフォルダ、シェルフのフォルダの
                             すべての曲: イメージ、曲番号、題名、バイト数、コメント
  export SOURCE DIR          イメージかフロッピーのフォルダのすべての曲を、DIR に
                             TITLE.B00/.EVT/.cmt としてコピーします。ファイルは
                             置き換えません
  import DIR TARGET          DIR の曲を、イメージの空いている曲番号か、シェルフの
                             フォルダの最後のイメージ、次に新しい番号付きのイメージに
                             入れます。曲は置き換えません
  new [--count N] PATH       新しい空の曲フロッピーのイメージ PATH を作ります。
                             シェルフのフォルダ PATH には、次の空き番号で N 個作ります
  check PATH...              各イメージをプログラムと同じように読み、すべての問題を
                             報告します。問題があれば終了コードは 1 です
  backup [--replace] FLOPPY IMAGE
                             フロッピー全体（/dev/sdb のようなドライブか、マウント
                             されたフロッピーのフォルダ）を IMAGE に読み込みます。
                             読めないセクタは読み直し、それでも読めなければゼロにして
                             IMAGE.log に書きます。その場合の終了コードは 1 です
  restore IMAGE DEVICE       1.44 MB のイメージを、ドライブ DEVICE（マウントしない）の
                             フロッピー全体に書き、読み戻して比べます。違うセクタが
                             あれば終了コードは 1 です
  eject [FLOPPY]             フロッピードライブ（指定がなければ見つかったもの）への
                             書き込みを済ませ、アンマウントして電源を切ります
  convert STICK DIR          工場出荷時のファームウェア用のスティック（デバイスか
                             そのダンプ）の使われているスロットを、DIR に番号付きの
                             イメージ DSKAnnnn.IMG として書きます。ファイルは置き換えません
  convert DIR STICK          DIR の番号付きのイメージを、スティックの同じ番号の
                             スロットに書き、読み戻して比べます
  remove IMAGE...            ディスク棚のイメージをごみ箱に移します（スティックの
                             スロットは空きにします）
  renumber [--swap] IMAGE N  イメージを空いている番号 N に移します。名前の後ろの部分は
                             そのままです。--swap は番号 N のイメージと入れ替えます
  renumber --close-gaps SHELF
                             番号のすき間を詰めます（順番はそのまま）
  copy [--number N] [--gaps] IMAGE SHELF
                             イメージを丸ごと、ディスク棚 SHELF の番号 N（指定がなければ
                             いちばん大きい番号の次）にコピーします。--gaps はすき間の
                             番号から使います（new も同じ）
  duplicates SHELF...        曲の中身が同じイメージと曲を示します。1 行に 1 つ:
                             イメージ、曲番号（イメージ全体なら *）、最初のもの、その曲番号
  ingest [--count N] [--keep-copies] [--retry N] [--gaps] [--csv FILE] DRIVE SHELF
                             ドライブのディスクを次々に読み、ディスク棚の次の番号の
                             イメージにします（ラベルは最初の題名）。1 枚ごとに取り出し、
                             次のディスクを待ちます。N 枚で、または Ctrl+C で終わります。
                             ディスク棚にある曲と同じディスクは書きません（--keep-copies
                             なら書きます）。--retry は読めないセクタを N 回読み直します。
                             --csv は表を FILE に保存します

工場出荷時のファームウェア用のスティックは 1.5 MiB ごとのスロットにフロッピーを
持ち、ファイルシステムがありません。PATH にはスティックのデバイスかダンプ（すべての
スロット）、または STICK@N（スロット N、例: /dev/sdb@12）を指定できます。
リムーバブルでないデバイスや 64 GB より大きいデバイスは、--force-device を
付けたときだけ使います。

プログラムを起動したフォルダが、最初に表示されるハードディスクのフォルダです。
</source>
        <translation>Usage: tunecrate [--floppy PATH | PATH] [--shelf DIR]
       tunecrate --new-floppy FILE
       tunecrate COMMAND [OPTIONS] PATH...
Keeps the songs of an instrument&apos;s 1.44 MB floppy disks.

  --floppy PATH      use PATH as the floppy: a floppy folder, a 1.44 MB
                     image file or a floppy drive&apos;s device (a mounted disk,
                     any folder standing in for one, or a FAT12 image or
                     /dev/sdX used without mounting)
                     instead of looking for a mounted 1.44 MB removable disk
  PATH               the same as --floppy PATH
  --shelf DIR        open the disk shelf on DIR, a folder of floppy images
  --new-floppy FILE  write FILE as a new, formatted, empty song floppy
                     image and exit; an existing FILE is never replaced
  --help             show this text and exit
  --version          show the version and exit

Commands (no window; exit status 0 on success, 1 on a failure, 2 on bad usage):
  list [--csv] PATH...       every song of images, floppy folders or shelf
                             folders: image, slot, title, bytes, comment
  export SOURCE DIR          copy every song of an image or floppy folder into
                             DIR as TITLE.B00/.EVT/.cmt; never replaces a file
  import DIR TARGET          put the songs of DIR into the free slots of an
                             image, or of a shelf folder&apos;s last image and then
                             of new numbered images; never replaces a song
  new [--count N] PATH       make a new empty song floppy image PATH, or N
                             with the next free numbers in a shelf folder PATH
  check PATH...              read each image as the program does and report
                             every problem; exit status 1 when there is one
  backup [--replace] FLOPPY IMAGE
                             read the whole floppy (a drive such as /dev/sdb, or
                             a mounted floppy&apos;s folder) into IMAGE, retrying bad
                             sectors; unreadable ones are zeros, listed in
                             IMAGE.log; exit status 1 when there are any
  restore IMAGE DEVICE       write a 1.44 MB image over the whole floppy in the
                             drive DEVICE (not mounted), then read it back and
                             compare; exit status 1 when a sector differs
  eject [FLOPPY]             flush, unmount and power off the floppy drive (the
                             one found when none is named)
  convert STICK DIR          write each used slot of a factory-firmware stick (a
                             device or a dump of it) into DIR as a numbered image
                             DSKAnnnn.IMG; files are never replaced
  convert DIR STICK          write the numbered images of DIR into the slots of
                             the same numbers, then read them back and compare
  remove IMAGE...            move shelf images to the trash (a stick&apos;s slots
                             are made empty)
  renumber [--swap] IMAGE N  move an image to the free number N, keeping its
                             label; --swap exchanges it with the image at N
  renumber --close-gaps SHELF
                             close the gaps between the numbers (the order stays)
  copy [--number N] [--gaps] IMAGE SHELF
                             copy an image whole onto SHELF at number N (else
                             after the highest number); --gaps takes the gaps
                             first (so does new)
  duplicates SHELF...        show the images and songs whose content is the same
                             as another&apos;s, one a line: the image, its song number
                             (* for the whole image), the first copy, its number
  ingest [--count N] [--keep-copies] [--retry N] [--gaps] [--csv FILE] DRIVE SHELF
                             read disk after disk from the drive into images with the
                             shelf&apos;s next numbers (labelled with the first title),
                             ejecting each and waiting for the next; ends after N disks
                             or on Ctrl+C. A disk whose songs the shelf holds is not
                             written (--keep-copies writes it); --retry reads unreadable
                             sectors N more times; --csv saves the table into FILE

A factory-firmware stick holds its floppies in slots of 1.5 MiB, with no file
system. PATH may be such a stick (a device or a dump of all its slots) or
STICK@N (slot N, for example /dev/sdb@12). A device that is not removable, or
is larger than 64 GB, is used only with --force-device.

The folder the program is started in is the first hard-disk folder shown.
</translation>
    </message>
    <message>
        <source>読み込み中...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>フロッピーを読み込んでいます。
読み込みが終わってから、もう一度やり直してください。</source>
        <translation>The floppy is being read.
Please try again once the reading has finished.</translation>
    </message>
    <message>
        <source>%1 のディスクは書き込み禁止になっています。
書き込むには、ディスクを取り出して書き込み禁止のタブを閉じてください。</source>
        <translation>The disk in %1 is write-protected.
To write to it, take the disk out and close its write-protect tab.</translation>
    </message>
    <message>
        <source>%1 は読み取り専用でマウントされています。
ディスクが書き込み禁止なら、取り出して書き込み禁止のタブを閉じてから、もう一度入れてください。</source>
        <translation>%1 is mounted read-only.
If the disk is write-protected, take it out, close its write-protect tab and put it in again.</translation>
    </message>
    <message>
        <source>%1 のフロッピーへの書き込みが失敗しました: 書いたところを読み戻すと、書いた内容と違っています。ディスクが傷んでいるか、ドライブが書き込みを落としています。
もう一度開くまで、このフロッピーには何も書き込みません。</source>
        <translation>A write to the floppy in %1 failed: what was written reads back different. The disk may be worn, or the drive may be dropping writes.
Nothing more is written to this floppy until it is opened again.</translation>
    </message>
    <message>
        <source>%1 のディスクは、開いた後で入れ替えられたか、ほかのプログラムに書き換えられました。何も書き込みませんでした。
もう一度開いてから、やり直してください。</source>
        <translation>The disk in %1 was swapped, or rewritten by another program, after it was opened. Nothing was written to it.
Open it again, then try once more.</translation>
    </message>
    <message>
        <source>フロッピーが、表示した後で入れ替えられたか、ほかのプログラムに書き換えられました。何も書き込まずに読み直しました。
表示を確かめてから、もう一度やり直してください。</source>
        <translation>The floppy was swapped, or rewritten by another program, after it was shown. Nothing was written; it has been read again.
Check what it shows now, then try once more.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>すき間の番号から</source>
        <translation>In the gaps first</translation>
    </message>
    <message>
        <source>いちばん大きい番号の次から</source>
        <translation>After the highest number</translation>
    </message>
    <message>
        <source>番号:</source>
        <translation>Numbers:</translation>
    </message>
</context>
<context>
    <name>tunecrate::AboutDialog</name>
    <message>
        <source>Tunecrateのﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>About Tunecrate</translation>
    </message>
</context>
<context>
    <name>tunecrate::FolderTree</name>
    <message>
        <source>新規作成</source>
        <translation>New folder</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete</translation>
    </message>
</context>
<context>
    <name>tunecrate::IngestDialog</name>
    <message>
        <source>同じ曲のディスクも書き込む</source>
        <translation>Write disks whose songs the shelf holds too</translation>
    </message>
    <message>
        <source>すき間の番号から</source>
        <translation>In the gaps first</translation>
    </message>
    <message>
        <source>開始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>このディスクをもう一度読む</source>
        <translation>Read this disk again</translation>
    </message>
    <message>
        <source>次へ</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>表を保存...</source>
        <translation>Save table...</translation>
    </message>
    <message>
        <source>フロッピーを順に取り込む</source>
        <translation>Take in floppies one after another</translation>
    </message>
    <message>
        <source>いちばん大きい番号の次から</source>
        <translation>After the highest number</translation>
    </message>
    <message>
        <source>番号</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>ラベル</source>
        <translation>Label</translation>
    </message>
    <message>
        <source>題名</source>
        <translation>Titles</translation>
    </message>
    <message>
        <source>曲数</source>
        <translation>Songs</translation>
    </message>
    <message>
        <source>読めないセクタ</source>
        <translation>Unreadable sectors</translation>
    </message>
    <message>
        <source>時間</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>State</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>ドライブ:</source>
        <translation>Drive:</translation>
    </message>
    <message>
        <source>番号:</source>
        <translation>Numbers:</translation>
    </message>
    <message>
        <source>取り込み先: %1</source>
        <translation>Into: %1</translation>
    </message>
    <message>
        <source>フロッピードライブを選んでください。</source>
        <translation>Choose a floppy drive.</translation>
    </message>
    <message>
        <source>%1 と同じ曲</source>
        <translation>same songs as %1</translation>
    </message>
    <message>
        <source>（書き込みませんでした）</source>
        <translation>(not written)</translation>
    </message>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 / %2 セクタ</source>
        <translation>%1 / %2 sectors</translation>
    </message>
    <message>
        <source>表を保存</source>
        <translation>Save table</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>ディスクの最初の題名</source>
        <translation>The disk&apos;s first title</translation>
    </message>
    <message>
        <source>次のディスクのラベル:</source>
        <translation>Next disk&apos;s label:</translation>
    </message>
</context>
<context>
    <name>tunecrate::MainDialog</name>
    <message>
        <source>フロッピーイメージを開く</source>
        <translation>Open floppy image</translation>
    </message>
    <message>
        <source>フロッピーイメージ (*.[Ii][Mm][Gg] *.[Ii][Mm][Aa]);;すべてのファイル (*)</source>
        <translation>Floppy images (*.[Ii][Mm][Gg] *.[Ii][Mm][Aa]);;All files (*)</translation>
    </message>
    <message>
        <source>ディスク棚のフォルダ</source>
        <translation>Disk shelf folder</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>再読み込み</source>
        <translation>Reload</translation>
    </message>
    <message>
        <source>ソング名</source>
        <translation>Song name</translation>
    </message>
    <message>
        <source>サイズ</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>コメント</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>ハードディスク</source>
        <translation>Hard disk</translation>
    </message>
    <message>
        <source>フロッピーディスク</source>
        <translation>Floppy disk</translation>
    </message>
    <message>
        <source>フォルダリスト（右クリックで新しいフォルダを作成できます）</source>
        <translation>Folders (right-click to make a new folder)</translation>
    </message>
    <message>
        <source>ファイルリスト</source>
        <translation>File list</translation>
    </message>
    <message>
        <source>空き 0 kb</source>
        <translation>Free 0 kb</translation>
    </message>
    <message>
        <source>フロッピーイメージを開く(&amp;O)...</source>
        <translation>&amp;Open floppy image...</translation>
    </message>
    <message>
        <source>フロッピードライブに戻る(&amp;D)</source>
        <translation>Back to floppy &amp;drive</translation>
    </message>
    <message>
        <source>ディスク棚(&amp;S)...</source>
        <translation>Disk &amp;shelf...</translation>
    </message>
    <message>
        <source>Tunecrate のﾊﾞｰｼﾞｮﾝ情報(&amp;A)...</source>
        <translation>&amp;About Tunecrate...</translation>
    </message>
    <message>
        <source>曲を転送しています...</source>
        <translation>Transferring songs...</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>フロッピーをイメージに保存</source>
        <translation>Save the floppy into an image</translation>
    </message>
    <message>
        <source>フロッピーを読み書きしています...</source>
        <translation>Reading and writing the floppy...</translation>
    </message>
    <message>
        <source>フロッピーをイメージに保存(&amp;B)...</source>
        <translation>Save the floppy into an &amp;image...</translation>
    </message>
    <message>
        <source>イメージをフロッピーに書く(&amp;W)...</source>
        <translation>&amp;Write an image to the floppy...</translation>
    </message>
    <message>
        <source>取り出し(&amp;E)</source>
        <translation>&amp;Eject</translation>
    </message>
    <message>
        <source>次のイメージ(&amp;N)</source>
        <translation>&amp;Next image</translation>
    </message>
    <message>
        <source>前のイメージ(&amp;P)</source>
        <translation>&amp;Previous image</translation>
    </message>
    <message>
        <source>%1 / %2 セクタ</source>
        <translation>%1 / %2 sectors</translation>
    </message>
</context>
<context>
    <name>tunecrate::Session</name>
    <message numerus="yes">
        <source>%n個の項目を削除しますか？</source>
        <translation>
            <numerusform>Delete %n item?</numerusform>
            <numerusform>Delete %n items?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tunecrate::ShelfSession</name>
    <message>
        <source>イメージの名前を「%1」にしました。
フロッピーエミュレーターの表示には英数字しか出ません。</source>
        <translation>The image is now named &quot;%1&quot;.
A floppy emulator&apos;s display shows only English letters and digits.</translation>
    </message>
    <message numerus="yes">
        <source>ほか %n 個</source>
        <translation>
            <numerusform>and %n more</numerusform>
            <numerusform>and %n more</numerusform>
        </translation>
    </message>
    <message>
        <source>次のスロットを空きにします。中のフロッピーは消えます。

%1

よろしいですか？</source>
        <translation>These slots will be made empty. The floppies in them will be lost.

%1

Go on?</translation>
    </message>
    <message>
        <source>次のイメージをごみ箱に移します。

%1

よろしいですか？</source>
        <translation>These images will be moved to the trash.

%1

Go on?</translation>
    </message>
    <message>
        <source>イメージの削除</source>
        <translation>Delete images</translation>
    </message>
    <message>
        <source>番号 %1 は %2 が使っています。二つの番号を入れ替えますか？</source>
        <translation>Number %1 is taken by %2. Swap the two numbers?</translation>
    </message>
    <message>
        <source>番号を変える</source>
        <translation>Renumber</translation>
    </message>
    <message>
        <source>イメージの番号のすき間を詰めます。順番はそのままで、番号が変わります。よろしいですか？</source>
        <translation>The gaps between the image numbers will be closed. The order stays; the numbers change. Go on?</translation>
    </message>
    <message>
        <source>すき間を詰める</source>
        <translation>Close gaps</translation>
    </message>
    <message>
        <source>%1 の中身はすべて消え、このディスク棚の番号付きのイメージが同じ番号のスロットに書かれます。
工場出荷時のファームウェアで読めるスティックになります。よろしいですか？</source>
        <translation>Everything on %1 will be lost: the numbered images of this shelf will be written into the slots of the same numbers.
The stick will then be read by the factory firmware. Go on?</translation>
    </message>
    <message>
        <source>スティックに書き込む</source>
        <translation>Write to a stick</translation>
    </message>
    <message numerus="yes">
        <source>%n 枚のフロッピーを書きました。</source>
        <translation>
            <numerusform>%n floppy was written.</numerusform>
            <numerusform>%n floppies were written.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tunecrate::ShelfWindow</name>
    <message>
        <source>ディスク棚</source>
        <translation>Disk shelf</translation>
    </message>
    <message>
        <source>曲名・コメントを検索</source>
        <translation>Search titles and comments</translation>
    </message>
    <message>
        <source>番号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>ファイル名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>曲数</source>
        <translation>Songs</translation>
    </message>
    <message>
        <source>空き(kb)</source>
        <translation>Free (kb)</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>新しいイメージ...</source>
        <translation>New images...</translation>
    </message>
    <message>
        <source>名前を付ける...</source>
        <translation>Label...</translation>
    </message>
    <message>
        <source>一覧を保存...</source>
        <translation>Save list...</translation>
    </message>
    <message>
        <source>読み込み中...</source>
        <translation>Reading...</translation>
    </message>
    <message>
        <source>新しいイメージ</source>
        <translation>New images</translation>
    </message>
    <message>
        <source>作るイメージの数:</source>
        <translation>Number of images to make:</translation>
    </message>
    <message>
        <source>名前を付ける</source>
        <translation>Label image</translation>
    </message>
    <message>
        <source>番号の後に付ける名前（英数字）:</source>
        <translation>Label after the number (letters and digits):</translation>
    </message>
    <message>
        <source>テキスト (*.txt)</source>
        <translation>Text (*.txt)</translation>
    </message>
    <message>
        <source>一覧を保存</source>
        <translation>Save list</translation>
    </message>
    <message numerus="yes">
        <source>%n 件</source>
        <translation>
            <numerusform>%n match</numerusform>
            <numerusform>%n matches</numerusform>
        </translation>
    </message>
    <message>
        <source>イメージ</source>
        <translation>Images</translation>
    </message>
    <message>
        <source>番号を変える...</source>
        <translation>Renumber...</translation>
    </message>
    <message>
        <source>コピー先...</source>
        <translation>Copy to...</translation>
    </message>
    <message>
        <source>削除...</source>
        <translation>Delete...</translation>
    </message>
    <message>
        <source>すき間を詰める...</source>
        <translation>Close gaps...</translation>
    </message>
    <message>
        <source>別の棚を開く</source>
        <translation>Open another shelf</translation>
    </message>
    <message>
        <source>フォルダに書き出す...</source>
        <translation>Write out to a folder...</translation>
    </message>
    <message>
        <source>スティックに書き込む...</source>
        <translation>Write to a stick...</translation>
    </message>
    <message>
        <source>番号を変える</source>
        <translation>Renumber</translation>
    </message>
    <message>
        <source>新しい番号:</source>
        <translation>New number:</translation>
    </message>
    <message>
        <source>コピー先</source>
        <translation>Copy to</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>コピー先の棚</source>
        <translation>Shelf to copy to</translation>
    </message>
    <message>
        <source>棚:</source>
        <translation>Shelf:</translation>
    </message>
    <message>
        <source>番号を指定:</source>
        <translation>At number:</translation>
    </message>
    <message>
        <source>フォルダに書き出す</source>
        <translation>Write out to a folder</translation>
    </message>
    <message>
        <source>スティックに書き込む</source>
        <translation>Write to a stick</translation>
    </message>
    <message>
        <source>書き込むスティック（デバイスか、そのダンプのファイル）:</source>
        <translation>Stick to write (a device, or a dump file of one):</translation>
    </message>
    <message>
        <source>フォルダを選ぶ...</source>
        <translation>Choose a folder...</translation>
    </message>
    <message>
        <source>スティックのダンプを選ぶ...</source>
        <translation>Choose a stick dump...</translation>
    </message>
    <message>
        <source>同じ曲のイメージを選ぶ</source>
        <translation>Select the images that are copies</translation>
    </message>
    <message>
        <source>同じ曲: %1 の %2</source>
        <translation>Same song: %1, number %2</translation>
    </message>
    <message>
        <source>%1 と同じ曲</source>
        <translation>Same songs as %1</translation>
    </message>
    <message>
        <source>同じ曲を探しています %p%</source>
        <translation>Looking for copies %p%</translation>
    </message>
    <message>
        <source>フロッピーを順に取り込む...</source>
        <translation>Take in floppies one after another...</translation>
    </message>
</context>
</TS>
