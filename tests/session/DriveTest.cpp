// SPDX-License-Identifier: MIT
// The floppy drive seen from the session: the desktop's disk service over
// D-Bus (a fake of it on a bus of the test's own, which logs every call it
// gets), ejecting, a session on a drive's device with whole-disk copies
// beside the window, and the watch on the mount table. A loop device stands
// in for the drive; the fake mount tables are the tests' own.
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <sched.h>
#include <sys/sysmacros.h>

#include "Workplace.h"
#include "core/songs/FloppyBackup.h"
#include "core/text/Texts.h"
#include "session/Eject.h"
#include "session/MountWatcher.h"
#include "session/UDisks.h"

namespace tunecrate::testing {
namespace {

using namespace std::literals;
using Strings = std::vector<std::string>;
constexpr const char* kNoLoop = "needs a loop device: root, and losetup that can attach one";
constexpr const char* kNoBus = "needs dbus-daemon to run a private message bus";
constexpr const char* kRefusal = "Not authorized to perform operation";   // the fake's words
const std::string kRoot = "/org/freedesktop/UDisks2";
const std::string kResolve = "ResolveDevice " + kRoot + "/Manager";

// The disk service's objects for a loop device.
std::string Block(const LoopDevice& loop) { return kRoot + "/block_devices/" + std::filesystem::path(loop.path()).filename().string(); }
std::string Drive(const LoopDevice& loop) { return kRoot + "/drives/" + std::filesystem::path(loop.path()).filename().string(); }

// A message bus of the test's own that starts no services, and the fake
// disk service on it when asked for.
class PrivateBus {
public:
    PrivateBus() {
        static int buses = 0;
        WriteWhole(m_dir.Path("bus.conf"),
                   "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
                   "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + QString::fromStdString(m_dir.Path("bus.conf")),
                                                      QStringLiteral("--print-address"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--nopidfile")});
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) continue;
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        if (m_address.isEmpty()) return;
        m_name = QStringLiteral("drive-test-%1").arg(++buses);
        connection = QDBusConnection::connectToBus(m_address, m_name);
    }
    ~PrivateBus() {
        StopFake();
        QDBusConnection::disconnectFromBus(m_name);
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
    PrivateBus(const PrivateBus&) = delete;
    bool up() const { return connection.isConnected(); }

    // The fake, refusing the calls `refused` names ("all", or methods with
    // commas between), with a fresh log; none for nullopt.
    bool StartFake(const std::optional<QString>& refused = QString()) {
        StopFake();
        ClearCalls();
        if (refused) m_fake.start(QStringLiteral(FAKE_UDISKS), {m_address, QString::fromStdString(m_dir.Path("calls.log")), *refused});
        return !refused || WaitForService(true);
    }
    void ClearCalls() { std::filesystem::remove(m_dir.Path("calls.log")); }
    void StopFake() {
        if (m_fake.state() == QProcess::NotRunning) return;
        m_fake.terminate();
        m_fake.waitForFinished();
        WaitForService(false);   // the bus lets the name go a moment later
    }
    // Each call the fake got: "Method object arguments...", or without the arguments.
    Strings Calls(bool arguments = true) const {
        Strings calls;
        std::istringstream in(ReadWhole(m_dir.Path("calls.log")).value_or(""));
        for (std::string line; std::getline(in, line);)
            calls.push_back(arguments ? line : line.substr(0, line.find(' ', line.find(' ') + 1)));
        return calls;
    }

    QDBusConnection connection{QStringLiteral("none")};

private:
    bool WaitForService(bool wanted) {
        QElapsedTimer timer;
        timer.start();
        while (connection.interface() != nullptr &&
               connection.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.UDisks2")) != wanted) {
            if (timer.elapsed() > 10000 || (wanted && m_fake.state() == QProcess::NotRunning)) return false;
            QThread::msleep(20);
        }
        return true;
    }

    TempDir m_dir;
    QProcess m_daemon, m_fake;
    QString m_address, m_name;
};

// Reads of `device` slowed for everyone (the blkio throttle of the root
// cgroup) while it lives, so that a copy still runs when the window answers.
class SlowReads {
public:
    explicit SlowReads(const std::string& device) {
        struct stat st {};
        if (::stat(device.c_str(), &st) != 0) return;
        m_rule = std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
        m_active = Write(m_rule + " 50");   // tracks a second: 3 s for a disk
    }
    ~SlowReads() {
        if (m_active) Write(m_rule + " 0");
    }
    SlowReads(const SlowReads&) = delete;
    bool active() const { return m_active; }

private:
    static bool Write(const std::string& line) {
        const int fd = ::open("/sys/fs/cgroup/blkio/blkio.throttle.read_iops_device", O_WRONLY | O_CLOEXEC);
        const bool written = fd >= 0 && ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        if (fd >= 0) ::close(fd);
        return written;
    }
    std::string m_rule;
    bool m_active = false;
};

class DriveService : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.up()) GTEST_SKIP() << kNoBus;
    }
    PrivateBus bus;
    TestFloppy disk{Medium::Image, "1:Blues/live=Blues+"};
};

TEST_F(DriveService, OpenAsksForTheModeAndFlagsAndHandsTheDescriptorOver) {
    LoopDevice loop(disk.location());
    if (loop.path().empty()) GTEST_SKIP() << kNoLoop;
    ASSERT_TRUE(bus.StartFake());
    const UDisks udisks(bus.connection);
    ASSERT_TRUE(udisks.Available());
    const std::string resolve = kResolve + " {path=" + loop.path() + "} {}", boot = ReadWhole(disk.location())->substr(0, 512);
    const auto flags = [](int value) { return " {flags=" + std::to_string(value) + "}"; };
    const std::vector<std::pair<int, std::string>> cases = {
        {O_RDWR | O_EXCL, "OpenDevice " + Block(loop) + " rw" + flags(O_EXCL)},
        {O_RDONLY | O_EXCL, "OpenForBackup " + Block(loop) + " {}"},
        {O_RDONLY | O_DIRECT | O_CLOEXEC, "OpenDevice " + Block(loop) + " r" + flags(O_DIRECT)},
        {O_WRONLY | O_SYNC, "OpenDevice " + Block(loop) + " w" + flags(O_SYNC)},
    };
    for (const auto& [mode, call] : cases) {
        SCOPED_TRACE(call);
        bus.ClearCalls();
        QString error;
        const int fd = udisks.Open(loop.path(), mode, &error);
        ASSERT_GE(fd, 0) << error.toStdString();
        EXPECT_EQ(bus.Calls(), (Strings{resolve, call}));
        const int kept = O_ACCMODE | O_DIRECT | O_SYNC;
        EXPECT_EQ(::fcntl(fd, F_GETFL) & kept, mode & kept);
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "a child process must not inherit the drive";
        alignas(4096) char sector[4096];   // aligned for O_DIRECT
        if ((mode & O_ACCMODE) != O_WRONLY) {
            const ssize_t got = ::pread(fd, sector, 512, 0);
            EXPECT_EQ(std::string(sector, got > 0 ? static_cast<std::size_t>(got) : 0), boot);
        }
        ::close(fd);
    }
}

TEST_F(DriveService, WithoutAnAnswerThereIsNoDescriptorAndAReason) {
    LoopDevice loop(disk.location());
    if (loop.path().empty()) GTEST_SKIP() << kNoLoop;
    struct Case { std::optional<QString> refused; std::string device; int flags; bool opens; std::string error; Strings calls; };
    const std::vector<Case> cases = {
        {std::nullopt, loop.path(), O_RDWR | O_EXCL, false, "udisks2 is not running", {}},
        {"all", loop.path(), O_RDWR, false, kRefusal, {kResolve, "OpenDevice " + Block(loop)}},
        {"OpenForBackup", loop.path(), O_RDONLY | O_EXCL, false, kRefusal, {kResolve, "OpenForBackup " + Block(loop)}},
        // An older service, without the resolving call: its objects are named after the kernel's.
        {"ResolveDevice", loop.path(), O_RDWR | O_EXCL, true, "", {kResolve, "OpenDevice " + Block(loop)}},
        {"", disk.location(), O_RDWR, false, "udisks2 does not know " + disk.location(), {kResolve}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refused.value_or("no service").toStdString() + " " + c.device);
        ASSERT_TRUE(bus.StartFake(c.refused));
        QElapsedTimer timer;
        timer.start();
        const UDisks udisks(bus.connection);
        QString error;
        EXPECT_EQ(udisks.Available(), c.refused.has_value());
        const int fd = udisks.Open(c.device, c.flags, &error);
        EXPECT_LT(timer.elapsed(), 1000) << "an absent service is never waited for";
        EXPECT_EQ(fd >= 0, c.opens);
        EXPECT_EQ(error.toStdString(), c.error);
        EXPECT_EQ(bus.Calls(false), c.calls);
        if (fd >= 0) ::close(fd);
    }
}

TEST_F(DriveService, DisksComingAndGoingAreToldButPropertyChangesAreNot) {
    ASSERT_TRUE(bus.StartFake());
    UDisks udisks(bus.connection);
    QSignalSpy changed(&udisks, &UDisks::devicesChanged);
    bus.connection.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.UDisks2"), QString::fromStdString(kRoot),
                                                       QStringLiteral("org.tunecrate.FakeUDisks"), QStringLiteral("Announce")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() >= 2; }, 2000));
    EXPECT_FALSE(changed.wait(300));
    EXPECT_EQ(changed.count(), 2);
}

// Flush, unmount, power off; each step that fails says what is safe now.
TEST_F(DriveService, EjectUnmountsThenPowersOffAndSaysWhenTheDiskMayComeOut) {
    LoopDevice loop(disk.location());
    if (loop.path().empty()) GTEST_SKIP() << kNoLoop;
    TempDir folder;
    const std::vector<MountEntry> mounted{{loop.path(), folder.path(), "vfat", true, kFloppyCapacity}};
    const std::string unmount = "Unmount " + Block(loop), get = "Get " + Block(loop), powerOff = "PowerOff " + Drive(loop);
    struct Case { std::optional<QString> refused; std::string location; bool mounted, canTakeOut; std::string message; Strings calls; };
    const std::vector<Case> cases = {
        {"", folder.path(), true, true, Say(texts::kEjectDone, {loop.path()}), {kResolve, unmount, kResolve, get, powerOff}},
        {"", loop.path(), false, true, Say(texts::kEjectDone, {loop.path()}), {kResolve, get, powerOff}},
        {"Unmount", folder.path(), true, false, Say(texts::kEjectUnmountFailed, {folder.path(), kRefusal}), {kResolve, unmount}},
        {"PowerOff", loop.path(), true, true, Say(texts::kEjectNoPowerOff, {loop.path(), kRefusal}),
         {kResolve, unmount, kResolve, get, powerOff}},
        {std::nullopt, folder.path(), true, false, Say(texts::kEjectByHand, {folder.path()}), {}},
        {std::nullopt, loop.path(), false, true, Say(texts::kEjectFlushedDevice, {loop.path()}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ASSERT_TRUE(bus.StartFake(c.refused));
        const UDisks udisks(bus.connection);
        const std::vector<MountEntry> table = c.mounted ? mounted : std::vector<MountEntry>{};
        const EjectOutcome outcome = EjectFloppy(c.location, table, &udisks);
        EXPECT_EQ(std::pair(outcome.canTakeOut, outcome.message), std::pair(c.canTakeOut, c.message));
        EXPECT_EQ(bus.Calls(false), c.calls);
        const EjectOutcome alone = EjectFloppy(c.location, table, nullptr);   // no service object at all
        EXPECT_EQ(alone.message == c.message, !c.refused);
    }
}

// A session whose drive holds `disk` on a loop device; the mount table is
// the test's, and an unmounted drive is found as the kernel's record would.
class DriveSession : public ::testing::Test, public Workplace {
protected:
    DriveSession() : Workplace("1:Mounted/=Old") {}
    void SetUp() override {
        if (loop.path().empty()) GTEST_SKIP() << kNoLoop;
    }
    void Start(std::optional<std::string> named = std::nullopt, const UDisks* udisks = nullptr) {
        SessionOptions options = Options(nullptr);
        options.floppy = std::move(named);
        options.mountTable = [this] { return events.push_back("mounts"), mounts(); };
        options.floppyDevices = [this](const std::vector<MountEntry>& table) {
            return MountPointOf(loop.path(), table) ? Strings{} : Strings{loop.path()};
        };
        options.udisks = udisks;
        session = std::make_unique<Session>(options, [this](Place) -> Prompter& { return prompter; });
        QObject::connect(session.get(), &Session::diskCopyProgress, [this](int done, int total) { progress.emplace_back(done, total); });
        session->FirstFill();
    }
    // The drive mounted at the folder floppy, as the desktop mounts a floppy.
    std::vector<MountEntry> Mounted() const { return {{loop.path(), floppy.root(), "vfat", true, kFloppyCapacity}}; }
    // The drive's disk holds exactly these bytes (compared here: a disk's difference is unreadable).
    bool DiskHolds(const std::optional<std::string>& bytes) const {
        const std::optional<std::string> now = ReadWhole(loop.path());
        return now && bytes && *now == *bytes;
    }
    std::string FirstTitle() const { return session->SlotRows().empty() ? "-" : session->SlotRows()[0].title; }
    Strings Told() const {
        Strings texts;
        for (const auto& call : prompter.calls()) texts.push_back(call.text);
        return texts;
    }

    TestFloppy disk{Medium::Image, "1:Blues/live=Blues+ 2:Dawn/=Demo"};
    LoopDevice loop{disk.location()};
    std::function<std::vector<MountEntry>()> mounts = [] { return std::vector<MountEntry>{}; };
    Strings events;
    std::vector<std::pair<int, int>> progress;
    std::unique_ptr<Session> session;
};

TEST_F(DriveSession, AnUnmountedDriveIsReadThroughItsDeviceAMountedOneThroughItsFolder) {
    Start();
    EXPECT_EQ(FirstTitle(), "Blues");
    EXPECT_EQ(Strings({session->FloppyDrive(), session->ShownImage(), session->FloppyRoot()}), Strings({loop.path(), "", loop.path() + "/"}));
    mounts = [this] { return Mounted(); };
    Start(loop.path());
    EXPECT_EQ(std::pair(FirstTitle(), session->FloppyDrive()), std::pair("Mounted"s, floppy.root() + "/"));
    mounts = [] { return std::vector<MountEntry>{}; };
    session->MountsChanged();
    EXPECT_EQ(std::pair(FirstTitle(), session->FloppyDrive()), std::pair("Blues"s, loop.path())) << "unmounted: the device again";
}

TEST_F(DriveSession, BackupCopiesTheWholeDiskAndAChangeOfMountsWaitsForIt) {
    Start();
    QObject::connect(session.get(), &Session::diskCopyProgress, [this](int done, int) {
        events.push_back(done < 0 ? "end" : "copying");
        if (progress.size() == 1) session->MountsChanged();
    });
    const std::string image = home.Path("backup.img");
    session->BackupFloppy(image);
    QCoreApplication::processEvents();
    EXPECT_TRUE(DiskHolds(ReadWhole(image))) << "the image is the disk";
    ASSERT_EQ(Told(), Strings{Say(texts::kBackupDone, {loop.path(), image})});
    EXPECT_EQ(prompter.calls()[0].caption, "Tunecrate");
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.back(), std::pair(-1, -1));
    EXPECT_EQ(progress.end()[-2], std::pair(2880, 2880));
    for (std::size_t i = 1; i + 1 < progress.size(); ++i) EXPECT_GT(progress[i].first, progress[i - 1].first);
    events.erase(std::unique(events.begin(), events.end()), events.end());
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(Strings(events.end() - 3, events.end()), (Strings{"copying", "end", "mounts"}))
        << "the mounts are read again after the copy, not during it";
}

TEST_F(DriveSession, ACancelledBackupLeavesNoImage) {
    SlowReads slow(loop.path());
    if (!slow.active()) GTEST_SKIP() << "needs the blkio throttle of cgroup v1 to keep the copy running";
    Start();
    QObject::connect(session.get(), &Session::diskCopyProgress, [this] { session->CancelDiskCopy(); });
    session->BackupFloppy(home.Path("backup.img"));
    EXPECT_FALSE(std::filesystem::exists(home.Path("backup.img")));
    EXPECT_EQ(Told(), Strings{Say(texts::kBackupCancelled)});
    ASSERT_GE(progress.size(), 2u);
    EXPECT_LT(progress.end()[-2].first, 2880) << "stopped long before the end";
    EXPECT_EQ(progress.back(), std::pair(-1, -1));
}

TEST_F(DriveSession, RestoreAsksFirstThenWritesTheImageOverTheDisk) {
    const TestFloppy image(Medium::Image, "3:Other/=Other");
    Start();
    const std::optional<std::string> before = ReadWhole(loop.path());
    const std::string question = Say(texts::kRestoreQuestion, {loop.path(), image.location()});
    prompter.AnswerOkCancel(false);
    session->RestoreFloppy(image.location());
    EXPECT_EQ(Told(), Strings{question});
    EXPECT_TRUE(DiskHolds(before)) << "untouched";
    EXPECT_TRUE(progress.empty());
    prompter.AnswerOkCancel(true);
    session->RestoreFloppy(image.location());
    EXPECT_TRUE(DiskHolds(ReadWhole(image.location()))) << "the disk is the image";
    EXPECT_EQ(Told(), (Strings{question, question, Say(texts::kRestoreDone, {image.location(), loop.path()})}));
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(std::pair(progress.end()[-2], progress.back()), std::pair(std::pair(5760, 5760), std::pair(-1, -1)));
    EXPECT_EQ(FirstTitle(), "") << "the disk is read again";
}

// A mounted floppy is let go through the disk service before it is written.
TEST_F(DriveSession, RestoreOnAMountedFloppyUnmountsItFirst) {
    PrivateBus bus;
    if (!bus.up()) GTEST_SKIP() << kNoBus;
    const TestFloppy image(Medium::Image, "3:Other/=Other");
    const UDisks udisks(bus.connection);
    bool refused = true;
    // Mounted until the service has unmounted it.
    mounts = [&] {
        const Strings calls = bus.Calls(false);
        const bool unmounted = !refused && std::count(calls.begin(), calls.end(), "Unmount " + Block(loop)) > 0;
        return unmounted ? std::vector<MountEntry>{} : Mounted();
    };
    const std::optional<std::string> before = ReadWhole(loop.path());
    // An image that cannot be written changes nothing: no question, no unmount.
    ASSERT_TRUE(bus.StartFake());
    Start(std::nullopt, &udisks);
    const std::string notAnImage = home.Path("note.img");
    WriteWhole(notAnImage, "not an image");
    session->RestoreFloppy(notAnImage);
    EXPECT_EQ(bus.Calls(), Strings{});
    EXPECT_EQ(Told(), Strings{RestoreImageProblem(notAnImage)});
    const std::string question = Say(texts::kRestoreQuestion, {loop.path(), image.location()});
    for (const bool refuse : {true, false}) {
        SCOPED_TRACE(refuse ? "refused" : "unmounted");
        refused = refuse;
        ASSERT_TRUE(bus.StartFake(refuse ? QStringLiteral("Unmount") : QString()));
        Start(std::nullopt, &udisks);
        ASSERT_EQ(session->FloppyDrive(), floppy.root() + "/");
        prompter.ClearCalls();
        prompter.AnswerOkCancel(true);
        session->RestoreFloppy(image.location());
        EXPECT_EQ(bus.Calls(false), (Strings{kResolve, "Unmount " + Block(loop)}));
        EXPECT_TRUE(DiskHolds(refuse ? before : ReadWhole(image.location())));
        EXPECT_EQ(Told(), (Strings{question, refuse ? Say(texts::kEjectUnmountFailed, {floppy.root(), kRefusal})
                                                    : Say(texts::kRestoreDone, {image.location(), loop.path()})}));
    }
    EXPECT_EQ(session->FloppyDrive(), loop.path()) << "found anew once unmounted";
    session.reset();   // before the service object it holds
}

TEST_F(DriveSession, AChangeOfMountsDuringADropWaitsForItsEnd) {
    mounts = [this] { return Mounted(); };
    Start();
    session->ShowFolder(songs.path());
    QObject::connect(session.get(), &Session::dropProgress, [this](int done, int) {
        events.push_back(done < 0 ? "end" : "dropping");
        if (done == 0) session->MountsChanged();
    });
    events.clear();
    EXPECT_TRUE(session->DropOntoFloppyList(1, false, *session->SongsPayload({"Blues", "Demo"})));
    EXPECT_EQ(events.back(), "end");
    QCoreApplication::processEvents();
    EXPECT_EQ(events, (Strings{"dropping", "dropping", "end", "mounts"}));
}

// In a child with a mount namespace of its own: the mounts it makes are nobody else's.
TEST(DriveMountWatcher, MountsAreToldOnceTheySettle) {
    if (!RunningAsRoot()) GTEST_SKIP() << "needs root to mount";
    TempDir folder;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) ::_exit(77);
        MountWatcher watcher;
        QSignalSpy told(&watcher, &MountWatcher::mountsChanged);
        const bool quiet = watcher.Watching() && !told.wait(400);
        if (::mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=64k") != 0) ::_exit(77);
        ::umount2(folder.path().c_str(), 0);
        const bool seen = told.wait(2000);
        const bool once = !told.wait(400) && told.count() == 1;
        ::_exit((quiet ? 0 : 1) | (seen ? 0 : 2) | (once ? 0 : 4));
    }
    int status = 0;
    ASSERT_GT(pid, 0);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) continue;
    ASSERT_TRUE(WIFEXITED(status)) << "the child died";
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "needs a mount namespace of its own (unshare, mount)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: told before any change, 2: a mount and unmount not told, 4: told more than once";
}

}  // namespace
}  // namespace tunecrate::testing
