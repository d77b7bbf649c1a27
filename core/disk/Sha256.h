// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tunecrate {

// SHA-256 over bytes given in any number of pieces: a song's files one after
// another, or a whole disk image as it is read. It lives in the disk layer,
// the lowest, so that every layer that holds bytes can hash them.
class Sha256 {
public:
    using Digest = std::array<std::uint8_t, 32>;

    void Update(std::string_view bytes);
    // The hash of everything given since the start; the object then starts afresh.
    Digest Final();

private:
    void Compress(const unsigned char* block);

    std::array<std::uint32_t, 8> m_state = kInitialState;
    std::array<unsigned char, 64> m_pending{};   // the start of a block not yet full
    std::size_t m_pendingBytes = 0;
    std::uint64_t m_totalBytes = 0;

    static constexpr std::array<std::uint32_t, 8> kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
};

Sha256::Digest Sha256Of(std::string_view bytes);

// Bytes as lower-case hexadecimal digits, two a byte, as sha256sum prints a hash.
std::string HexOf(std::span<const std::uint8_t> bytes);

}  // namespace tunecrate
