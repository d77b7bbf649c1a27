// SPDX-License-Identifier: MIT
// Songs told by their bytes: SHA-256 as sha256sum computes it.
#include <gtest/gtest.h>

#include "Songs.h"
#include "core/disk/Sha256.h"

namespace tunecrate::testing {
namespace {

std::string Sha256sum(const std::string& bytes) {
    TempDir dir;
    WriteWhole(dir.Path("in"), bytes);
    const PeerRun run = RunCommand("sha256sum", {dir.Path("in")}, " 2>&1");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return run.output.substr(0, run.output.find(' '));
}

TEST(Sha256, AgreesWithSha256sumWholeAndInPieces) {
    Sha256 inPieces;   // one for all: Final starts it afresh
    // Lengths about the padding's edges (55 bytes leave room for the length in the block, 56 do not) and past a floppy's.
    for (const std::size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 1'500'000}) {
        std::string bytes(length, '\0');
        for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 167 + length) >> (i % 5));
        const std::string expected = Sha256sum(bytes);
        EXPECT_EQ(HexOf(Sha256Of(bytes)), expected) << length;
        static constexpr std::size_t kPieces[] = {1, 62, 0, 64, 65, 1000};
        for (std::size_t at = 0, i = 0; at < length; ++i) {
            const std::size_t piece = std::min(kPieces[i % std::size(kPieces)], length - at);
            inPieces.Update(std::string_view(bytes).substr(at, piece));
            at += piece;
        }
        EXPECT_EQ(HexOf(inPieces.Final()), expected) << length << " in pieces";
    }
}

}  // namespace
}  // namespace tunecrate::testing
