// The wizard seam for builds without the user interface: the portable core and its tests. The
// object then never holds a wizard, so there is no main window to own message boxes.
#include "install/CInstall.h"

OsWindow CInstall::GetOwnerWindow() {
    return nullptr;
}

int CInstall::CreateWizard(OsModule /*module*/) {
    return 1;
}

void CInstall::DeleteWizard() {
    Wizard = nullptr;
}
