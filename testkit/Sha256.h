#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace Quorvex::VarnelNet::Kit {

// SHA-256 of a byte stream fed in pieces of any size; Hex() ends it and gives the digest as 64
// lowercase hexadecimal digits. The manifest names a source's sound by it.
class Sha256 {
public:
    Sha256();
    void Add(std::span<const std::uint8_t> bytes);
    std::string Hex();

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingBytes_ = 0;
    std::uint64_t totalBytes_ = 0;
};

}  // namespace Quorvex::VarnelNet::Kit
