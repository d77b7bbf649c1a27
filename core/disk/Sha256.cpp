// SPDX-License-Identifier: MIT
#include "core/disk/Sha256.h"

#include <bit>
#include <cstring>

namespace tunecrate {

namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be,
    0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa,
    0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85,
    0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3,
    0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f,
    0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t BigEndian32(const unsigned char* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

}  // namespace

void Sha256::Compress(const unsigned char* block) {
    std::array<std::uint32_t, 64> w;
    for (std::size_t i = 0; i < 16; ++i) w[i] = BigEndian32(block + 4 * i);
    for (std::size_t i = 16; i < 64; ++i) {
        const std::uint32_t s0 = std::rotr(w[i - 15], 7) ^ std::rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = std::rotr(w[i - 2], 17) ^ std::rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    auto [a, b, c, d, e, f, g, h] = m_state;
    for (std::size_t i = 0; i < 64; ++i) {
        const std::uint32_t t1 = h + (std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRoundConstants[i] + w[i];
        const std::uint32_t t2 = (std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    const std::array<std::uint32_t, 8> worked = {a, b, c, d, e, f, g, h};
    for (std::size_t i = 0; i < 8; ++i) m_state[i] += worked[i];
}

void Sha256::Update(std::string_view bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    m_totalBytes += left;
    if (m_pendingBytes > 0) {
        const std::size_t taken = std::min(left, m_pending.size() - m_pendingBytes);
        std::memcpy(m_pending.data() + m_pendingBytes, data, taken);
        m_pendingBytes += taken;
        data += taken;
        left -= taken;
        if (m_pendingBytes < m_pending.size()) return;
        Compress(m_pending.data());
        m_pendingBytes = 0;
    }
    // Whole blocks straight from the caller's bytes: a disk image is not copied.
    for (; left >= m_pending.size(); data += m_pending.size(), left -= m_pending.size()) Compress(data);
    if (left > 0) std::memcpy(m_pending.data(), data, left);
    m_pendingBytes = left;
}

Sha256::Digest Sha256::Final() {
    const std::uint64_t bits = m_totalBytes * 8;
    // A one bit, zeros to 8 bytes short of a block's end, then the length in bits.
    m_pending[m_pendingBytes++] = 0x80;
    if (m_pendingBytes > m_pending.size() - 8) {
        std::fill(m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingBytes), m_pending.end(), 0);
        Compress(m_pending.data());
        m_pendingBytes = 0;
    }
    std::fill(m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingBytes), m_pending.end() - 8, 0);
    for (std::size_t i = 0; i < 8; ++i) m_pending[m_pending.size() - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    Compress(m_pending.data());
    Digest digest;
    for (std::size_t i = 0; i < 32; ++i) digest[i] = static_cast<std::uint8_t>(m_state[i / 4] >> (24 - 8 * (i % 4)));
    *this = Sha256();
    return digest;
}

Sha256::Digest Sha256Of(std::string_view bytes) {
    Sha256 hash;
    hash.Update(bytes);
    return hash.Final();
}

std::string HexOf(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * bytes.size());
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

}  // namespace tunecrate
