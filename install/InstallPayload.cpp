// The choice of layout library builds for the platform and the layout settings.
#include "install/CInstall.h"
#include "install/engine/PayloadSelection.h"

namespace {

constexpr BlobRef kNoBlob{nullptr, 0xFFFFFFFFu};

}  // namespace

int CInstall::SelectPayload(BlobRef& primary, BlobRef& companion) const {
    primary = kNoBlob;
    companion = kNoBlob;
    int primarySlot, companionSlot;
    if (!PayloadSlots(OsVersion, ProcessorArchitecture, primarySlot, companionSlot)) return 0;
    // Before a variant is chosen there is no set to read from.
    const int set = PayloadSetIndex(LayoutVariant, AltSetFlagA, AltSetFlagB);
    const BlobRef* entries = set < 0 ? nullptr : LayoutPayloadSet(set);
    if (entries == nullptr) return 0;
    // A slot the catalogue leaves without a build (Itanium) is no selection either.
    if (entries[primarySlot].data == nullptr) return 0;
    if (companionSlot >= 0 && entries[companionSlot].data == nullptr) return 0;
    primary = entries[primarySlot];
    if (companionSlot >= 0) companion = entries[companionSlot];
    return 1;
}
