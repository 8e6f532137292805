// LinkAccount: link dialog, new identifier, login page.
#include "LinkFlow.hpp"

#include "BrowserPages.hpp"
#include "Dialogs.hpp"
#include "GSDebug.hpp"
#include "Preferences.hpp"
#include "ResourceIds.hpp"

void LinkAccount() {
    Dialog dialog(KAVELO_DLG_LINK);
    if (!dialog.Invoke())
        return;
    char id[37] = {};
    if (!CreateUserUniqueID(id))
        return;
    OpenLoginPage(id);
    DBPrintf("Dialog true and id: %s\n", id);
}
