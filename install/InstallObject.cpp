// Construction, release and destruction of the installer object.
#include "install/CInstall.h"

CInstallBase::CInstallBase() = default;

int CInstallBase::Init(OsModule module) {
    ModuleHandle = module;
    return 1;
}

// Every step is harmless on empty tables and without a key copy, so release may run any
// number of times: after Finish, and again from each destructor.
void CInstallBase::Release() {
    CommonTable.Free();
    LanguageTables[0].Free();
    LanguageTables[1].Free();
    Guard.Wipe();
}

// Members then go in reverse order: WorkText, LanguageTables [1] and [0], CommonTable, and last
// the guard, which wipes once more.
CInstallBase::~CInstallBase() {
    CInstallBase::Release();
}

OsWindow CInstallBase::GetOwnerWindow() {
    return nullptr;
}

CInstall::CInstall() {
    // Built last, once KeyCount holds its row count.
    KeyTable = NewWorkingKeyTable(KeyCount);
}

void CInstall::Release() {
    CInstallBase::Release();
    SupplementaryTable.Free();
}

// The wizard goes before the key table it may still reach; the path strings then go from the
// last to the first, then SupplementaryTable, then the base part.
CInstall::~CInstall() {
    CInstall::Release();
    DeleteWizard();
    KeyTable.reset();
}
