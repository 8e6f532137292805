// Registration with the host and menu command dispatch.
#include "AddOnMain.hpp"

#include "BrowserPages.hpp"
#include "DBPrintf.hpp"
#include "Dialogs.hpp"
#include "ExportCommand.hpp"
#include "Palette.hpp"
#include "Preferences.hpp"
#include "RS.hpp"
#include "ResourceIds.hpp"

namespace {

constexpr const char* kSourceFile = "Src/AddOnMain.cpp";
constexpr std::size_t kNameOffset = 48;
constexpr std::size_t kDescriptionOffset = 64;
constexpr Int32 kAddOnKind = 1;
constexpr Int32 kToolbarPlacement = 12;
constexpr Int32 kPaletteWindowFlags = 4;

GS::UniString* StringMember(void* record, std::size_t offset) {
    return reinterpret_cast<GS::UniString*>(static_cast<char*>(record) + offset);
}

}  // namespace

Int32 DescribeAddOn(void* environmentRecord) {
    RSGetIndString_ParamAdapter(StringMember(environmentRecord, kNameOffset), KAVELO_STRS_ADDON_NAME, 1,
                                ResModule, 0, kSourceFile, __LINE__);
    RSGetIndString_ParamAdapter(StringMember(environmentRecord, kDescriptionOffset), KAVELO_STRS_ADDON_NAME,
                                2, ResModule, 0, kSourceFile, __LINE__);
    return kAddOnKind;
}

GSErrCode RegisterMenus() {
    HostRegisterMenu(KAVELO_MENU_OPEN_TOOLBAR, KAVELO_MENU_OPEN_TOOLBAR_PROMPT, 0, 0);
    HostRegisterMenu(KAVELO_MENU_EXPORT, 0, 0, 0);
    HostRegisterMenu(KAVELO_MENU_OPEN_LIVE, 0, 0, 0);
    HostRegisterMenu(KAVELO_MENU_UNLINK, 0, 0, 0);
    return HostRegisterMenu(KAVELO_MENU_TOOLBAR_TOGGLE, 0, kToolbarPlacement, 0);
}

GSErrCode Initialize() {
    ACAPI_Install_MenuHandler(KAVELO_MENU_OPEN_TOOLBAR, MenuCommandHandler);
    ACAPI_Install_MenuHandler(KAVELO_MENU_EXPORT, MenuCommandHandler);
    ACAPI_Install_MenuHandler(KAVELO_MENU_OPEN_LIVE, MenuCommandHandler);
    ACAPI_Install_MenuHandler(KAVELO_MENU_UNLINK, MenuCommandHandler);
    if (ACAPI_Install_MenuHandler(KAVELO_MENU_TOOLBAR_TOGGLE, MenuCommandHandler) != NoError)
        DBPrintf("DG_Test:: Initialize() ACAPI_Install_MenuHandler failed\n");

    unsigned char guid[16];
    for (int i = 0; i < 16; ++i) guid[i] = PaletteGuid[static_cast<UIndex>(i)];
    const GSErrCode result =
        ACAPI_RegisterModelessWindow(PaletteReferenceId, PaletteWindowCallback, kPaletteWindowFlags, guid);
    if (result != NoError) {
        DBPrintf("DG_Test:: Initialize() ACAPI_RegisterModelessWindow failed\n");
        return result;
    }
    return NoError;
}

GSErrCode ReleaseAddOn() {
    HostUnregisterModelessWindow(PaletteReferenceId);
    return NoError;
}

GSErrCode MenuCommandHandler(const MenuParams* params) {
    switch (params->menuResID) {
        case KAVELO_MENU_OPEN_TOOLBAR:
            if (!IsPaletteOpen())
                OpenPalette();
            break;
        case KAVELO_MENU_EXPORT:
            ExportFromCurrentView();
            break;
        case KAVELO_MENU_UNLINK:
            UnlinkAccount();
            Dialog(KAVELO_DLG_UNLINKED).Invoke();
            break;
        case KAVELO_MENU_OPEN_LIVE:
            OpenLivePage();
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
    return NoError;
}
