// Initialisation over a set of stored tables: key block, the four string tables, the layout's
// language identifier.
#include <cstdlib>

#include "install/CInstall.h"
#include "install/InstallHexNumber.h"
#include "payload/HeapBuffer.h"

namespace {

constexpr uint32_t kLayoutLangIdString = 86;

// Unpacks a string-table blob and hands it to the table, its user value being the entry count.
int AttachTable(const CGuard& guard, const BlobRef& blob, CStringTable& table) {
    if (!blob.data) return 0;
    uint32_t size = blob.size;
    uint32_t count = 0;
    HeapBuffer<uint8_t> buffer(guard.Unpack(blob.data, size, &count));
    if (!buffer) return 0;
    if (!table.Attach(buffer.get(), count, size)) return 0;
    buffer.release();  // the table owns it now
    return 1;
}

}  // namespace

int CInstall::Init(OsModule module) {
    return InitFrom(module, ProgramInstallTables());
}

int CInstall::InitFrom(OsModule module, const InstallTables& tables) {
    if (!CInstallBase::Init(module)) return 0;
    if (!Guard.SetKeyBlock(tables.keyBlock.data, tables.keyBlock.size)) return 0;
    if (!AttachTable(Guard, tables.common, CommonTable)) return 0;
    if (!AttachTable(Guard, tables.supplementary, SupplementaryTable)) return 0;
    if (!AttachTable(Guard, tables.language[0], LanguageTables[0])) return 0;
    if (!AttachTable(Guard, tables.language[1], LanguageTables[1])) return 0;
    if (!CreateWizard(module)) return 0;

    uint32_t langId = 0;
    if (GetString(kLayoutLangIdString, WorkText) &&
        ParseHexNumber(WorkText.WideText(), WorkText.Length(), langId)) {
        LayoutLangId = static_cast<uint16_t>(langId & 0xFFFF);
    }
    // The layout variant and decimal-key defaults are taken here once the layout deployment
    // area provides them.
    return 1;
}
