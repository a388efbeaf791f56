// The platforms the installer serves: the version and architecture table, and a library build
// in the payload catalogue for the platform.
#include "install/CInstall.h"

namespace {

constexpr int16_t kArchX86 = 0;
constexpr int16_t kArchItanium = 6;
constexpr int16_t kArchX64 = 9;

bool TableAllows(int32_t version, int16_t architecture) {
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

bool HasBuild(const BlobRef& blob) {
    return blob.data != nullptr && blob.size != 0;
}

}  // namespace

int CInstall::IsSupportedPlatform() const {
    if (!TableAllows(OsVersion, ProcessorArchitecture)) return 0;
    // A platform the table lets through may still have no library build (Windows 6.2 and later
    // on Itanium, or a slot the catalogue leaves empty): refuse it now rather than half-way
    // through an install.
    BlobRef primary{nullptr, 0};
    BlobRef companion{nullptr, 0};
    if (!SelectPayload(primary, companion) || !HasBuild(primary)) return 0;
    if (Is64Bit && !HasBuild(companion)) return 0;
    return 1;
}
