#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace Quorvex::VarnelNet {

// The DTMF keypad (ITU-T Q.23): a key sounds its row and its column frequency.
namespace DtmfKeypad {

inline constexpr std::string_view kKeys = "123A456B789C*0#D";
inline constexpr std::uint16_t kRowHz[4] = {697, 770, 852, 941};
inline constexpr std::uint16_t kColumnHz[4] = {1209, 1336, 1477, 1633};

struct Pair {
    std::uint16_t row;
    std::uint16_t column;
};

// The frequencies of a key (0-9, A-D, * or #, upper case), or nullopt for any other character.
constexpr std::optional<Pair> Find(char key) {
    const std::size_t p = kKeys.find(key);
    if (p == std::string_view::npos) return std::nullopt;
    return Pair{kRowHz[p / 4], kColumnHz[p % 4]};
}

}  // namespace DtmfKeypad

}  // namespace Quorvex::VarnelNet
