// The add-on's entry points: registration with the host, menu command dispatch, and the trace of an unload
// without release. Each runs its work guarded: nothing thrown reaches the host.
#include "AddOnMain.hpp"

#include "BrowserPages.hpp"
#include "Dialogs.hpp"
#include "EntryGuard.hpp"
#include "ErrorReporting.hpp"
#include "ExportCommand.hpp"
#include "GSDebug.hpp"
#include "Location.hpp"
#include "Palette.hpp"
#include "Preferences.hpp"
#include "RS.hpp"
#include "ResourceIds.hpp"

namespace {

// Between Initialize and FreeData: the host still counts on the add-on.
bool Running = false;

// The add-on library calls this (through the guarded form below) when the module is unloaded.
void TraceUnloadWithoutRelease() {
    if (!Running)
        return;
    Running = false;
    IO::Location own;
    GS::UniString path;
    ACAPI_GetOwnLocation(&own);
    own.ToPath(&path);
    DBPrintf("Abnormal add-on termination (\"%s\")\n", path.ToCStr(0, MaxUSize, CC_UTF8).Get());
}

void TraceUnloadWithoutReleaseGuarded() {
    Guarded(GeneralFailure, TraceUnloadWithoutRelease);
}

API_AddonType DescribeAddOn(API_EnvirParams* envirParams) {
    RSGetIndString(&envirParams->addOnInfo.name, KAVELO_STRS_ADDON_NAME, 1, ACAPI_GetOwnResModule());
    RSGetIndString(&envirParams->addOnInfo.description, KAVELO_STRS_ADDON_NAME, 2, ACAPI_GetOwnResModule());
    return APIAddon_Normal;
}

// Only the last registration's result is the answer, as the add-on has always answered: a menu that did not
// register is missing, and the add-on still loads where the host let it load before.
GSErrCode RegisterMenus() {
    ACAPI_MenuItem_RegisterMenu(KAVELO_MENU_OPEN_TOOLBAR, KAVELO_MENU_OPEN_TOOLBAR_PROMPT, MenuCode_UserDef,
                                MenuFlag_Default);
    ACAPI_MenuItem_RegisterMenu(KAVELO_MENU_EXPORT, 0, MenuCode_UserDef, MenuFlag_Default);
    ACAPI_MenuItem_RegisterMenu(KAVELO_MENU_OPEN_LIVE, 0, MenuCode_UserDef, MenuFlag_Default);
    ACAPI_MenuItem_RegisterMenu(KAVELO_MENU_UNLINK, 0, MenuCode_UserDef, MenuFlag_Default);
    return ACAPI_MenuItem_RegisterMenu(KAVELO_MENU_TOOLBAR_TOGGLE, 0, MenuCode_Palettes, MenuFlag_Default);
}

GSErrCode InstallHandlers() {
    Running = true;
    ACAPI_SetDllTermHookProc(TraceUnloadWithoutReleaseGuarded);
    // Only the last install is checked, and only traced, as the add-on has always done: a menu whose
    // handler did not install does nothing, and initialisation goes on. The "DG_Test::" lines, which name
    // the calls by their older names, are the add-on's trace texts as they have always read: logs and their
    // readers match them, so they stay.
    ACAPI_MenuItem_InstallMenuHandler(KAVELO_MENU_OPEN_TOOLBAR, MenuCommandHandler);
    ACAPI_MenuItem_InstallMenuHandler(KAVELO_MENU_EXPORT, MenuCommandHandler);
    ACAPI_MenuItem_InstallMenuHandler(KAVELO_MENU_OPEN_LIVE, MenuCommandHandler);
    ACAPI_MenuItem_InstallMenuHandler(KAVELO_MENU_UNLINK, MenuCommandHandler);
    if (ACAPI_MenuItem_InstallMenuHandler(KAVELO_MENU_TOOLBAR_TOGGLE, MenuCommandHandler) != NoError)
        DBPrintf("DG_Test:: Initialize() ACAPI_Install_MenuHandler failed\n");

    const GSErrCode result = ACAPI_RegisterModelessWindow(PaletteReferenceId, PaletteWindowCallback,
                                                          API_PalEnabled_3D, GSGuid2APIGuid(PaletteGuid));
    if (result != NoError) {
        DBPrintf("DG_Test:: Initialize() ACAPI_RegisterModelessWindow failed\n");
        return result;
    }
    return NoError;
}

void RunMenuCommand(const API_MenuParams* menuParams) {
    switch (menuParams->menuItemRef.menuResID) {
        case KAVELO_MENU_OPEN_TOOLBAR:
            if (!IsPaletteOpen())
                OpenPalette();
            break;
        case KAVELO_MENU_EXPORT:
            ExportFromCurrentView();
            break;
        case KAVELO_MENU_UNLINK:
            // The account stays linked when its store could not be removed: no "unlinked" dialog then.
            if (const GSErrCode err = UnlinkAccount(); err != NoError) {
                ReportError("Error", err);
                break;
            }
            Dialog(KAVELO_DLG_UNLINKED).Invoke();
            break;
        case KAVELO_MENU_OPEN_LIVE:
            if (const GSErrCode err = OpenLivePage(); err != NoError)
                ReportError("Error", err);
            break;
        case KAVELO_MENU_TOOLBAR_TOGGLE:
            if (IsPaletteOpen())
                ClosePalette();
            else
                OpenPalette();
            break;
        default:
            break;
    }
}

}  // namespace

// An add-on that cannot describe itself asks not to be registered.
API_AddonType CheckEnvironment(API_EnvirParams* envirParams) {
    return Guarded(GeneralFailure, APIAddon_DontRegister,
                   [envirParams] { return DescribeAddOn(envirParams); });
}

GSErrCode RegisterInterface() {
    return Guarded(GeneralFailure, static_cast<GSErrCode>(APIERR_GENERAL), RegisterMenus);
}

GSErrCode Initialize() {
    return Guarded(GeneralFailure, static_cast<GSErrCode>(APIERR_GENERAL), InstallHandlers);
}

GSErrCode FreeData() {
    Guarded(GeneralFailure, [] {
        // The palette goes now, while the host and its dialog library still run this module's code.
        DestroyPalette();
        ACAPI_UnregisterModelessWindow(PaletteReferenceId);
        Running = false;
    });
    return NoError;
}

GSErrCode MenuCommandHandler(const API_MenuParams* menuParams) {
    Guarded(GeneralFailure, [menuParams] { RunMenuCommand(menuParams); });
    return NoError;
}
