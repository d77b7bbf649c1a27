// SPDX-License-Identifier: MIT
// The window's two large fills, offscreen, each set against a floor in the
// same run: the hard-disk list against the listing alone (the difference is
// the widget's own cost), and a folder of 10,000 subfolders opened in the
// tree against a plain tree widget filled with as many rows in one batch.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include <QApplication>
#include <QCoreApplication>
#include <QTreeWidget>

#include "GeneratedSongFolder.h"
#include "core/songs/HardDiskSongs.h"
#include "session/Session.h"
#include "widgets/FolderTree.h"
#include "widgets/HardDiskList.h"
#include "WidgetBench.h"

namespace {

using tunecrate::bench::kSongCount;
using tunecrate::bench::SongFolder;

tunecrate::Session* g_session = nullptr;
constexpr int kSubfolders = 10'000;

// A folder of empty subfolders; removed at exit.
const std::string& ManyFolders() {
    static const struct Folders {
        Folders() {
            char pattern[] = "/tmp/tunecrate-bench-XXXXXX";
            if (::mkdtemp(pattern) == nullptr) std::exit(1);
            path = pattern;
            for (int i = 0; i < kSubfolders; ++i) ::mkdir((path + "/take " + std::to_string(i)).c_str(), 0755);
        }
        ~Folders() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
        std::string path;
    } folders;
    return folders.path;
}

void BM_ListFolderSongsAlone(benchmark::State& state) {
    for (auto _ : state) {
        auto rows = tunecrate::ListFolderSongs(SongFolder().path());
        benchmark::DoNotOptimize(rows.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSongCount);
}
BENCHMARK(BM_ListFolderSongsAlone)->Unit(benchmark::kMillisecond);

// The list filled from the session's songs; with `paint`, the repaint of the
// visible rows that follows when the event loop next runs.
void FillOnce(benchmark::State& state, bool paint) {
    tunecrate::HardDiskList list(*g_session, nullptr);
    list.resize(330, 300);
    list.show();
    g_session->ShowFolder(SongFolder().path());
    for (auto _ : state) {
        g_session->ShowFolder(SongFolder().path());
        list.ShowSongs();
        if (paint) QCoreApplication::processEvents();
    }
    if (list.topLevelItemCount() != kSongCount) state.SkipWithError("the list did not show every song");
    state.SetItemsProcessed(state.iterations() * kSongCount);
}
void BM_FillHardDiskList(benchmark::State& state) { FillOnce(state, false); }
BENCHMARK(BM_FillHardDiskList)->Unit(benchmark::kMillisecond);
void BM_FillHardDiskListAndPaint(benchmark::State& state) { FillOnce(state, true); }
BENCHMARK(BM_FillHardDiskListAndPaint)->Unit(benchmark::kMillisecond);

// Whether a folder holds a folder: what the tree must know to offer to open it.
bool HoldsFolder(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (entry->d_type == DT_DIR && name != "." && name != "..") found = true;
        if (found) break;
    }
    ::closedir(dir);
    return found;
}

// The floor: the same folders read with readdir, sorted, and shown by a plain
// tree widget as rows with an icon, added in one batch.
void BM_PlainTreeOfManyFolders(benchmark::State& state) {
    QTreeWidget tree;
    tree.resize(330, 300);
    tree.show();
    const QIcon icon = tree.style()->standardIcon(QStyle::SP_DirIcon);
    for (auto _ : state) {
        std::vector<std::string> names;
        DIR* dir = ::opendir(ManyFolders().c_str());
        while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
            if (entry->d_type == DT_DIR && entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        }
        if (dir != nullptr) ::closedir(dir);
        std::sort(names.begin(), names.end());
        tree.clear();
        auto* parent = new QTreeWidgetItem(&tree, QStringList(QStringLiteral("folders")));
        QList<QTreeWidgetItem*> children;
        for (const std::string& name : names) {
            auto* child = new QTreeWidgetItem(QStringList(QString::fromStdString(name)));
            child->setIcon(0, icon);
            if (HoldsFolder(ManyFolders() + "/" + name)) new QTreeWidgetItem(child);
            children.append(child);
        }
        parent->addChildren(children);
        parent->setExpanded(true);
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * kSubfolders);
}
BENCHMARK(BM_PlainTreeOfManyFolders)->Unit(benchmark::kMillisecond);

// The folder tree opening the same number of folders read from the disk.
void BM_ExpandFolderOfManyFolders(benchmark::State& state) {
    tunecrate::FolderTree tree(*g_session, nullptr);
    tree.resize(330, 300);
    tree.show();
    tree.ResetFolders(ManyFolders());
    QTreeWidgetItem* item = tree.currentItem();
    for (auto _ : state) {
        tree.collapseItem(item);
        tree.expandItem(item);
        QCoreApplication::processEvents();
    }
    if (item == nullptr || item->childCount() != kSubfolders) state.SkipWithError("the tree did not show every folder");
    state.SetItemsProcessed(state.iterations() * kSubfolders);
}
BENCHMARK(BM_ExpandFolderOfManyFolders)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const auto app = tunecrate::bench::StartWidgetBench(argc, argv);
    if (!app) return 1;

    SongFolder();   // made before any timing starts
    ManyFolders();

    tunecrate::SessionOptions options;
    options.home = ManyFolders();
    options.workingDirectory = SongFolder().path();
    options.mountTable = [] { return std::vector<tunecrate::MountEntry>{}; };
    tunecrate::Session session(std::move(options), [](tunecrate::Place) -> tunecrate::Prompter& {
        std::abort();   // nothing here asks anything
    });
    session.FirstFill();   // finds the top-level folders
    g_session = &session;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_session = nullptr;
    return 0;
}
