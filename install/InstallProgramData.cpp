// The stored tables that CInstall::Init reads in the installer: the key block and the four
// string-table blobs of the generated program data.
#include "install/CInstall.h"

#include "PayloadData.h"

const InstallTables& ProgramInstallTables() {
    static const InstallTables tables = {PayloadKeyBlock,
                                         StringTableCommon,
                                         StringTableSupplementary,
                                         {StringTableLanguage0, StringTableLanguage1}};
    return tables;
}
