// Names of the platform's virtual-key codes as the layout source writes them (without "VK_").
#pragma once

#include <optional>
#include <string_view>

namespace layoutc {

// The code of a virtual-key name ("A", "OEM_4", "0x5E"), or nothing when unknown.
std::optional<unsigned> VirtualKeyCode(std::string_view name);

// The name of a code for charts and messages ("0x5E" when it has none).
std::string_view VirtualKeyName(unsigned code);

}  // namespace layoutc
