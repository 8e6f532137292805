// LinkAccount: link dialog, new identifier, login page.
#include "LinkFlow.hpp"

#include "BrowserPages.hpp"
#include "Dialogs.hpp"
#include "ErrorReporting.hpp"
#include "GSDebug.hpp"
#include "LinkStore.hpp"
#include "Preferences.hpp"
#include "ResourceIds.hpp"

void LinkAccount() {
    Dialog dialog(KAVELO_DLG_LINK);
    if (!dialog.Invoke())
        return;
    char id[37] = {};
    // An identifier the add-on does not keep must not reach the web account: no login page then.
    if (const GSErrCode err = CreateUserUniqueID(id); err != NoError) {
        ReportError("Error", err);
        return;
    }
    if (const GSErrCode err = OpenLoginPage(id); err != NoError)
        ReportError("Error", err);
    DBPrintf("Dialog true and id: %s\n", LinkStore::TraceText(id).c_str());
}
