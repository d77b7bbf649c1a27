// SPDX-License-Identifier: MIT
// The floppy drive (a loop device) seen from the session: the disk service over D-Bus (a fake on a bus of the test's
// own, which logs the calls it gets), ejecting, whole-disk copies beside the window, and the watch on the mount table.
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <sched.h>

#include "Workplace.h"
#include "core/songs/FloppyBackup.h"
#include "core/Texts.h"
#include "session/DriveSession.h"
#include "session/IngestSession.h"
#include "session/Eject.h"
#include "session/MountWatcher.h"
#include "session/UDisks.h"

namespace tunecrate::testing {
namespace {

constexpr const char* kNoBus = "needs dbus-daemon to run a private message bus";
constexpr const char* kRefusal = "Not authorized to perform operation";   // the fake's words
const std::string kResolve = "ResolveDevice Manager";
const QString kService = "org.freedesktop.UDisks2", kRoot = "/org/freedesktop/UDisks2";

// A session on the drive, which the desktop mounts at the folder floppy while `mounted` and until the service
// unmounts it; the bus, and the fake disk service on it, when asked for.
class Drive : public ::testing::Test, public Workplace {
protected:
    Drive() : Workplace("1:Mounted/=Old") {}
    void SetUp() override {
        if (loop.path().empty()) GTEST_SKIP() << "needs a loop device: root, and losetup that can attach one";
    }
    void TearDown() override {
        for (QProcess* process : {&fake, &daemon}) process->terminate();
        for (QProcess* process : {&fake, &daemon}) process->waitForFinished();
    }
    bool StartBus() {
        daemon.start("dbus-daemon", {"--session", "--print-address", "--nofork", "--nopidfile"});
        while (!daemon.canReadLine() && daemon.waitForReadyRead(5000)) continue;
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        bus = QDBusConnection::connectToBus(address, address);
        udisks.emplace(bus);
        return bus.isConnected();
    }
    // The fake, started at the first need, refusing from now on the methods `refused` names; its log starts afresh.
    void Fake(const QString& refused = "") {
        if (fake.state() == QProcess::NotRunning) fake.start(FAKE_UDISKS, {address, QString::fromStdString(Log())});
        const QDBusMessage refuse = QDBusMessage::createMethodCall(kService, kRoot, "", "Refuse") << refused;
        ASSERT_TRUE(QTest::qWaitFor([&] { return bus.call(refuse).type() == QDBusMessage::ReplyMessage; })) << "no fake";
        std::filesystem::remove(Log());
    }
    std::string Log() const { return home.Path("calls.log"); }
    std::string Calls() const { return ReadWhole(Log()).value_or(""); }
    std::vector<MountEntry> Mounted() const { return {{loop.path(), floppy.root(), "vfat", true, kFloppyCapacity}}; }

    void Start(std::optional<std::string> named = std::nullopt) {
        SessionOptions options = Options(nullptr);
        options.floppy = std::move(named);
        options.mountTable = [this] {
            events += "mounts ";
            const bool unmounted = Calls().find("Unmount block_devices") != std::string::npos;
            return mounted && !unmounted ? Mounted() : std::vector<MountEntry>{};
        };
        options.floppyDevices = [this](const auto&) { return Strings{loop.path()}; };   // asked when none is mounted
        options.udisks = udisks ? &*udisks : nullptr;
        session = std::make_unique<Session>(options, [this](Place) -> Prompter& { return prompter; });
        QObject::connect(&session->DriveWork(), &DriveSession::diskCopyProgress, [this](int done) {
            copied = std::max(copied, done);
            events += done < 0 ? "end " : done == 0 ? "copying " : "";
            if (done == 0) session->FollowMounts();
        });
        session->FirstFill();
        AwaitFloppy(*session);
        prompter.ClearCalls();
    }
    bool CopyEnded() { return QTest::qWaitFor([this] { return !session->DriveWork().Copying(); }, 20000); }

    TestFloppy disk{Medium::Image, "1:Blues/=Blues"};
    LoopDevice loop{disk.location()};
    QProcess daemon, fake;
    QString address;
    QDBusConnection bus{"none"};
    std::optional<UDisks> udisks;
    bool mounted = false;
    std::string events;
    int copied = -1;   // the most sectors the progress told of
    std::unique_ptr<Session> session;
};

TEST_F(Drive, OpenHandsOverADescriptorAsAskedAndDisksComingAndGoingAreTold) {
    if (!StartBus()) GTEST_SKIP() << kNoBus;
    const std::string open = kResolve + "; OpenDevice block_devices";
    struct Case { std::optional<QString> refused; std::string device; int flags; std::string calls, error; };
    const std::vector<Case> cases = {
        {std::nullopt, loop.path(), O_RDWR, "", "udisks2 が動いていません"},
        {"", loop.path(), O_RDWR | O_EXCL, open, ""},
        {"", loop.path(), O_RDONLY | O_DIRECT, open, ""},
        {"", loop.path(), O_RDONLY | O_EXCL, kResolve + "; OpenForBackup block_devices", ""},
        // An older service, without the resolving call: its objects are named after the kernel's.
        {"ResolveDevice", loop.path(), O_WRONLY | O_SYNC, "ResolveDevice! Manager; OpenDevice block_devices", ""},
        {"OpenDevice", loop.path(), O_RDWR, kResolve + "; OpenDevice! block_devices", kRefusal},
        {"", disk.location(), O_RDWR, kResolve, "udisks2 は " + disk.location() + " を知りません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.calls + " " + std::to_string(c.flags));
        if (c.refused) Fake(*c.refused);
        EXPECT_EQ(udisks->Available(), c.refused.has_value());
        const Expected<int> opened = udisks->Open(c.device, c.flags);
        EXPECT_EQ(std::tuple(Calls(), opened.error().reason, opened.has_value()), std::tuple(c.calls, c.error, c.error.empty()));
        if (!opened) continue;
        EXPECT_EQ(::fcntl(*opened, F_GETFL) & (O_ACCMODE | O_DIRECT | O_SYNC), c.flags & (O_ACCMODE | O_DIRECT | O_SYNC));
        EXPECT_NE(::fcntl(*opened, F_GETFD) & FD_CLOEXEC, 0) << "a child process must not inherit the drive";
        const int other = ::open(loop.path().c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
        EXPECT_EQ(other < 0, (c.flags & O_EXCL) != 0) << "the drive held for us alone, or not";
        if (other >= 0) ::close(other);
        ::close(*opened);
    }
    // Told of a disk put in and taken out; not of the property changes that closing a device brings.
    QSignalSpy changed(&*udisks, &UDisks::devicesChanged);
    bus.call(QDBusMessage::createMethodCall(kService, kRoot, "", "Announce"));
    QTest::qWait(300);   // the signals came before the answer
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(Drive, EjectUnmountsThenPowersOffTheDriveAndSaysWhenTheDiskMayComeOut) {
    if (!StartBus()) GTEST_SKIP() << kNoBus;
    const std::string device = loop.path(), at = floppy.root(), unmount = kResolve + "; Unmount block_devices; ";
    const std::string get = kResolve + "; Get block_devices; PowerOff", powerOff = get + " drives";
    struct Case { std::optional<QString> refused; std::string at; bool mounted, canTakeOut; std::string reason, calls; };
    const std::vector<Case> cases = {
        {std::nullopt, at, true, false, Translated(texts::kEjectByHand, {at}), ""},
        {std::nullopt, device, false, true, Translated(texts::kEjectFlushedDevice, {device}), ""},
        {"", at, true, true, Translated(texts::kEjectDone, {device}), unmount + powerOff},
        {"", device, false, true, Translated(texts::kEjectDone, {device}), powerOff},
        {"Unmount", at, true, false, Translated(texts::kEjectUnmountFailed, {at, kRefusal}), kResolve + "; Unmount! block_devices"},
        {"PowerOff", device, true, true, Translated(texts::kEjectNoPowerOff, {device, kRefusal}), unmount + get + "! drives"},
    };
    for (const Case& c : cases) {
        if (c.refused) Fake(*c.refused);
        const std::vector<MountEntry> table = c.mounted ? Mounted() : std::vector<MountEntry>{};
        const Result ejected = EjectFloppy(c.at, table, &*udisks);
        EXPECT_EQ(std::tuple(ejected.ok(), ejected.reason, Calls()), std::tuple(c.canTakeOut, c.reason, c.calls));
    }
}

TEST_F(Drive, BackupCopiesTheWholeDiskOrNothingWhenCancelledAndMountsWaitForTheEnd) {
    const std::string image = home.Path("backup.img");
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "cancelled" : "whole");
        Start();
        EXPECT_EQ(Strings({session->FloppyDrive(), session->ShownImage()}), Strings({loop.path(), ""}));
        session->DriveWork().SaveFloppyToImage(image);
        // Taken up before the copy's worker starts: the copy stops at its first track.
        if (cancel) session->DriveWork().CancelCopy();
        ASSERT_TRUE(CopyEnded());
        EXPECT_EQ(prompter.Texts(), Strings{Translated(cancel ? texts::kBackupCancelled : texts::kBackupDone, {loop.path(), image})});
        EXPECT_EQ(ReadWhole(loop.path()) == ReadWhole(image), !cancel) << "the image is the disk, or there is none";
        EXPECT_EQ(copied, cancel ? 0 : 2880) << "stopped at the first track, or at its end";
        EXPECT_EQ(events.substr(events.rfind("copying")), "copying end mounts ") << "the mounts read again after the copy";
    }
}

// A mounted floppy (named by its device) is let go through the disk service once the user agrees, and read anew.
TEST_F(Drive, RestoreAsksThenUnmountsThroughTheServiceThenWritesAndReadsTheDiskAgain) {
    if (!StartBus()) GTEST_SKIP() << kNoBus;
    const TestFloppy image(Medium::Image, "3:Other/=Other");
    const std::string bad = songs.Item("Blues.B00"), asked = Translated(texts::kRestoreQuestion, {loop.path(), image.location()});
    struct Step { std::string image; QString refused; std::string calls; Strings told; };
    const std::vector<Step> steps = {
        {bad, "", "", {CheckRestoreImage(bad).reason}},   // refused before anything
        {image.location(), "Unmount", kResolve + "; Unmount! block_devices",
         {asked, Translated(texts::kEjectUnmountFailed, {floppy.root(), kRefusal})}},
        {image.location(), "", kResolve + "; Unmount block_devices",
         {asked, Translated(texts::kRestoreDone, {image.location(), loop.path()})}},
    };
    mounted = true;
    for (const Step& step : steps) {
        Fake(step.refused);
        if (!session) Start(loop.path());
        ASSERT_EQ(session->FloppyDrive(), floppy.root() + "/") << "a mounted drive is used through its folder";
        prompter.ClearCalls();
        if (step.image != bad) prompter.AnswerOkCancel(true);
        session->DriveWork().WriteImageToFloppy(step.image);
        ASSERT_TRUE(CopyEnded());
        AwaitFloppy(*session);
        EXPECT_EQ(std::pair(Calls(), prompter.Texts()), std::pair(step.calls, step.told));
        EXPECT_EQ(ReadWhole(loop.path()) == ReadWhole(image.location()), &step == &steps.back()) << "written last only";
    }
    EXPECT_EQ(Strings({session->SlotRows().at(0).title, session->FloppyDrive()}), Strings({"", loop.path()})) << "read anew";
}

// In a child with a mount namespace of its own: the mounts it makes are nobody else's.
TEST(DriveMountWatcher, MountsAreToldOnceTheySettle) {
    TempDir folder;
    const auto own = [] { return ::unshare(CLONE_NEWNS) == 0 && ::mount("", "/", "", MS_REC | MS_PRIVATE, nullptr) == 0; };
    const auto mountAndUnmount = [&] {
        return ::mount("tmpfs", folder.path().c_str(), "tmpfs", 0, nullptr) == 0 && ::umount(folder.path().c_str()) == 0;
    };
    if (!RunningAsRoot() || !InChildProcess([&] { return own() && mountAndUnmount(); }))
        GTEST_SKIP() << "needs a mount namespace of its own (root, unshare, mount)";
    EXPECT_TRUE(InChildProcess([&] {
        if (!own()) return false;
        MountWatcher watcher;
        QSignalSpy told(&watcher, &MountWatcher::mountsChanged);
        return !told.wait(400) && mountAndUnmount() && told.wait(2000) && !told.wait(400) && told.count() == 1;
    })) << "told before any change, a mount and unmount not told, or told more than once";
}

// The drive's disk changed behind the window: a disk taken out and one put in, which the kernel tells of by the
// device's size, are read again by themselves, without the disk service. (Another of the same size, which the
// kernel does not tell of, is found at the next gesture as on an image: SessionTest, and the marks a device's
// volume gives from the disk itself: DiskChange.)
TEST_F(Drive, ADiskTakenOutOrPutInIsReadAgainByItself) {
    Start();
    ASSERT_FALSE(session->SlotRows().empty());
    ASSERT_EQ(session->SlotRows()[0].title, "Blues");
    TestFloppy third(Medium::Image, "2:Tango/=T");
    const auto shows = [&](std::size_t slot, const std::string& title) {
        const std::vector<SlotRow>& rows = session->SlotRows();
        return title.empty() ? rows.empty() : rows.size() > slot && rows[slot].title == title;
    };
    for (const auto& [bytes, title] : {std::pair(std::string(), ""s), std::pair(*ReadWhole(third.location()), "Tango"s)}) {
        WriteWhole(disk.location(), bytes);
        ASSERT_EQ(RunCommand("losetup -c", {loop.path()}, " 2>&1").exitCode, 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !session->ReadingFloppy() && shows(1, title); }, 10000)) << "not read again: " << title;
    }
    EXPECT_EQ(prompter.Texts(), Strings{}) << "a disk coming and going is no failure";
}

// A box of disks through the session: a disk is taken once the drive was seen without one since the last, the disk
// service is asked to eject each, a copy of the shelf's songs is named and not written, a label typed renames its
// image, and the table saved holds every disk. The drive's disk goes and comes as its file empties and fills again.
TEST_F(Drive, ABoxOfDisksIsTakenOneAfterAnotherEachEjected) {
    if (!StartBus()) GTEST_SKIP() << kNoBus;
    Fake();
    const std::string first = *ReadWhole(disk.location()), shelf = home.Path("shelf");
    TestFloppy second(Medium::Image, "1:Waltz/=W+"), copy(Medium::Image, "3:Again/=Blues");
    std::filesystem::create_directory(shelf);
    const auto put = [&](const std::string& bytes) {   // the disk out, then in: the kernel told of each size
        for (const std::string& now : {std::string(), bytes}) {
            WriteWhole(disk.location(), now);
            ASSERT_EQ(RunCommand("losetup -c", {loop.path()}, " 2>&1").exitCode, 0);
            QTest::qWait(700);
        }
    };
    IngestSession ingest(shelf, &*udisks);
    const auto rows = [&](std::size_t count) {
        return QTest::qWaitFor([&] { return ingest.Rows().size() == count && ingest.CurrentPhase() == IngestSession::Phase::Waiting; }, 20000);
    };
    ingest.Start(loop.path(), {});
    ASSERT_TRUE(rows(1)) << ingest.StateText();
    QTest::qWait(700);   // still in: not taken again
    put(*ReadWhole(second.location()));
    ASSERT_TRUE(rows(2)) << ingest.StateText();
    put(*ReadWhole(copy.location()));
    ASSERT_TRUE(rows(3)) << ingest.StateText();
    Strings shown;
    for (const IngestedDisk& row : ingest.Rows()) shown.push_back(row.image + "|" + row.copyOf);
    EXPECT_EQ(shown, (Strings{"DSKA0000 Blues.IMG|", "DSKA0001 Waltz.IMG|", "|DSKA0000 Blues.IMG"}));
    EXPECT_EQ(ReadWhole(shelf + "/DSKA0001 Waltz.IMG"), ReadWhole(second.location()));
    std::size_t ejects = 0;   // each disk ejected, the drive never powered off
    for (std::size_t at = Calls().find("Eject drives"); at != std::string::npos; at = Calls().find("Eject drives", at + 1)) ++ejects;
    EXPECT_EQ(std::tuple(ejects, Calls().find("PowerOff")), std::tuple(3u, std::string::npos)) << Calls();
    ingest.Relabel(1, "Waltz: take/2");
    EXPECT_EQ(ingest.Rows()[1].image, "DSKA0001 Waltz_ take_2.IMG");
    EXPECT_TRUE(FileSize(shelf + "/DSKA0001 Waltz_ take_2.IMG"));
    ingest.Stop();
    EXPECT_EQ(ingest.CurrentPhase(), IngestSession::Phase::Idle);
    ASSERT_TRUE(ingest.SaveTable(home.Path("table.csv")).ok());
    const std::string table = ReadWhole(home.Path("table.csv")).value_or("");
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4) << table;
}

}  // namespace
}  // namespace tunecrate::testing
