#include "install/engine/EnvironmentPlatforms.h"

namespace {

constexpr int16_t kArchX86 = 0;
constexpr int16_t kArchItanium = 6;
constexpr int16_t kArchX64 = 9;

}  // namespace

bool PlatformInTable(int32_t version, int16_t architecture) {
    switch (version) {
        case 50:
        case 51:
            return architecture == kArchX86;
        case 52:
        case 60:
        case 61:
        case 62:
        case 63:
        case 100:
            return architecture == kArchX86 || architecture == kArchItanium ||
                   architecture == kArchX64;
        default:
            return false;
    }
}
