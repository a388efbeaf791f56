// The platforms the installer serves: the version and architecture table, and library builds in
// the payload catalogue for the platform.
#include "install/CInstall.h"
#include "install/engine/EnvironmentPlatforms.h"
#include "install/engine/PayloadSelection.h"

namespace {

bool HasBuild(const BlobRef& blob) {
    return blob.data != nullptr && blob.size != 0;
}

}  // namespace

int CInstall::IsSupportedPlatform() const {
    if (!PlatformInTable(OsVersion, ProcessorArchitecture)) return 0;
    // A platform the table lets through may still have no library build (Windows 6.2 and later
    // on Itanium, or a slot the catalogue leaves empty): refuse it now rather than half-way
    // through an install. Every set counts, as the setup page may pick any of them.
    int primary = -1;
    int companion = -1;
    if (!PayloadSlots(OsVersion, ProcessorArchitecture, primary, companion)) return 0;
    for (int set = 0; set < kPayloadSetCount; ++set) {
        const BlobRef* entries = LayoutPayloadSet(set);
        if (entries == nullptr || !HasBuild(entries[primary])) return 0;
        if (companion >= 0 && !HasBuild(entries[companion])) return 0;
    }
    return 1;
}
