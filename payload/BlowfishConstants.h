#pragma once

#include <cstdint>

// The standard Blowfish start values, copied into every new cipher context.
extern const std::uint32_t kBlowfishInitialP[18];
extern const std::uint32_t kBlowfishInitialS[4][256];
