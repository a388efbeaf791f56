// The platforms the installer serves: the version and architecture table, and a library build
// in the payload catalogue for the platform.
#include "install/CInstall.h"
#include "install/engine/EnvironmentPlatforms.h"

namespace {

bool HasBuild(const BlobRef& blob) {
    return blob.data != nullptr && blob.size != 0;
}

}  // namespace

int CInstall::IsSupportedPlatform() const {
    if (!PlatformInTable(OsVersion, ProcessorArchitecture)) return 0;
    // A platform the table lets through may still have no library build (Windows 6.2 and later
    // on Itanium, or a slot the catalogue leaves empty): refuse it now rather than half-way
    // through an install.
    if (!PlatformHasLibrarySlots(OsVersion, ProcessorArchitecture)) return 0;
    BlobRef primary{nullptr, 0};
    BlobRef companion{nullptr, 0};
    if (!SelectPayload(primary, companion) || !HasBuild(primary)) return 0;
    if (Is64Bit && !HasBuild(companion)) return 0;
    return 1;
}
