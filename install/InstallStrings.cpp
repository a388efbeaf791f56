// String look-up by id, the user-interface language index and the licence texts.
#include <climits>
#include <cstdlib>

#include "install/CInstall.h"
#include "payload/HeapBuffer.h"

namespace {

constexpr uint8_t kByteOrderMark[3] = {0xEF, 0xBB, 0xBF};

}  // namespace

const CountedText* CInstallBase::FindString(uint32_t id) const {
    // UiLanguage is a public member; a value other than 0 or 1 selects no language table.
    if (UiLanguage == 0 || UiLanguage == 1) {
        if (const CountedText* entry = LanguageTables[UiLanguage].Find(id)) return entry;
    }
    return CommonTable.Find(id);
}

const CountedText* CInstall::FindString(uint32_t id) const {
    if (const CountedText* entry = CInstallBase::FindString(id)) return entry;
    return SupplementaryTable.Find(id);
}

int CInstall::GetString(uint32_t id, GString& out) const {
    out.Clear();
    const CountedText* entry = FindString(id);
    if (!entry) return 0;
    if (!out.AssignCounted(entry)) return 0;
    // A narrow entry that is not valid UTF-8 cannot become wide text; handing it on as found
    // would give callers an empty wide text under a success result.
    if (!out.ToWide(-1)) {
        out.Clear();
        return 0;
    }
    return 1;
}

int CInstall::SetLanguageIndex(int32_t index) {
    if (index != 0 && index != 1) return 0;
    UiLanguage = index;
    return 1;
}

int CInstall::LoadTextBlob(const uint8_t* blob, uint32_t size, GString& out) {
    if (!blob || size == 0) return 0;
    uint32_t plainSize = size;
    HeapBuffer<uint8_t> plain(Guard.Unpack(blob, plainSize));
    if (!plain) return 0;

    const uint8_t* text = plain.get();
    uint32_t length = plainSize;
    if (length >= sizeof kByteOrderMark && text[0] == kByteOrderMark[0] &&
        text[1] == kByteOrderMark[1] && text[2] == kByteOrderMark[2]) {
        text += sizeof kByteOrderMark;
        length -= sizeof kByteOrderMark;
    }
    // Counts are int and a negative one would mean "up to a terminator" the buffer lacks.
    if (length > static_cast<uint32_t>(INT_MAX)) return 0;

    out.AssignNarrow(nullptr, 0);
    return out.AppendBytes(reinterpret_cast<const char*>(text), static_cast<int>(length), -1);
}
