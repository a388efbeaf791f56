// The payload catalogue of the installer: the six sets of layout library builds in the generated
// program data, in the order PayloadSetIndex numbers them.
#include "install/engine/PayloadSelection.h"

#include "PayloadData.h"

const BlobRef* LayoutPayloadSet(int index) {
    static const BlobRef* const kSets[kPayloadSetCount] = {
        LayoutSetStandard0,    LayoutSetStandard1,    LayoutSetStandard2,
        LayoutSetAlternative0, LayoutSetAlternative1, LayoutSetAlternative2,
    };
    return index >= 0 && index < kPayloadSetCount ? kSets[index] : nullptr;
}
