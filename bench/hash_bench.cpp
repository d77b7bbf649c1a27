// SPDX-License-Identifier: MIT
// Content hashes: SHA-256 over a floppy image's worth of bytes (later whole
// disk images are hashed with it), and the duplicate pass over a shelf of
// 1,000 images: every song hashed from its image, then the copies found.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "GeneratedShelf.h"
#include "core/disk/Sha256.h"
#include "core/songs/ShelfDuplicates.h"

namespace {

void BM_Sha256(benchmark::State& state) {
    std::string bytes(tunecrate::kImageBytes, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 2654435761u >> 13);
    for (auto _ : state) benchmark::DoNotOptimize(tunecrate::Sha256Of(bytes));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_Sha256)->Unit(benchmark::kMillisecond);

// The rows as the shelf has them once their catalogues are read; only the hashing pass is timed.
void BM_HashShelf(benchmark::State& state) {
    static const tunecrate::bench::PreparedShelf shelf(1'000);
    const auto files = tunecrate::ListShelfImages(shelf.folder());
    std::vector<tunecrate::ShelfRow> rows;
    for (const std::string& file : *files) rows.push_back(tunecrate::ReadShelfImage(shelf.folder(), file));
    for (auto _ : state) {
        std::vector<tunecrate::FloppySongHashes> hashes;
        hashes.reserve(rows.size());
        for (const tunecrate::ShelfRow& row : rows) hashes.push_back(tunecrate::HashShelfImage(shelf.folder(), row.file, row.holdsSong));
        if (!std::all_of(hashes.begin(), hashes.end(), [](const auto& found) { return found.AllRead(); })) {
            state.SkipWithError("a song was not hashed");
            break;
        }
        benchmark::DoNotOptimize(tunecrate::FindShelfDuplicates(hashes));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rows.size()));
}
BENCHMARK(BM_HashShelf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
