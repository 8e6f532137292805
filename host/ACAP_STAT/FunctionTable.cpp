// The ACAPI functions the add-on calls, each over one slot of the host's function table: an empty slot
// answers APIERR_NOTSUPPORTED without a call; otherwise the slot gets the host context first (unless the
// slot says otherwise) and its code is returned.
#include <cstdarg>
#include <cstring>

#include "ACAP_STATControl.hpp"

namespace {

constexpr UInt32 FourCharCode(const char (&code)[5]) {
    return (static_cast<UInt32>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<UInt32>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<UInt32>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<UInt32>(static_cast<unsigned char>(code[3]));
}
constexpr UInt32 kSpecialFolderSelector = FourCharCode("GSPF");
constexpr UInt32 kSaveSelector = FourCharCode("SAVE");
constexpr UInt32 kInitProcessWindowSelector = FourCharCode("IPWD");
constexpr UInt32 kCloseProcessWindowSelector = FourCharCode("CPWD");
constexpr UInt32 kNextProcessPhaseSelector = FourCharCode("SPRP");
constexpr UInt32 kSetProcessValueSelector = FourCharCode("SPRV");
constexpr UInt32 kIncProcessValueSelector = FourCharCode("IPRV");
constexpr UInt32 kIsProcessCanceledSelector = FourCharCode("CANC");

using RegisterMenuFn = GSErrCode (*)(const MenuRecord*);
using InstallMenuHandlerFn = GSErrCode (*)(void*, Int32, APIMenuCommandProc*);
using SetPreferencesFn = GSErrCode (*)(void*, Int32, Int32, const void*);
using GetPreferencesFn = GSErrCode (*)(void*, Int32*, Int32*, void*);
using RegisterModelessWindowFn = GSErrCode (*)(void*, const ModelessWindowRecord*);
using UnregisterModelessWindowFn = GSErrCode (*)(void*, Int32);
using WriteReportFn = GSErrCode (*)(void*, const GS::UniString*, char, va_list*);
using SelectorFn = GSErrCode (*)(void*, UInt32, void*, void*, void*);

template <class Fn>
Fn SlotAt(std::size_t offset) {
    Fn fn = nullptr;
    std::memcpy(&fn, HostFunctionTable + offset, sizeof fn);
    return fn;
}

// The process window's six functions share the host's Interface slot, told apart by their selector.
GSErrCode CallInterface(UInt32 selector, void* p1 = nullptr, void* p2 = nullptr, void* p3 = nullptr) {
    const auto fn = SlotAt<SelectorFn>(kInterfaceSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, selector, p1, p2, p3);
}

}  // namespace

GSErrCode ACAPI_MenuItem_RegisterMenu(short menuStrResID, short promptStrResID, APIMenuCodeID menuPosCode,
                                      GSFlags menuFlags) {
    const auto fn = SlotAt<RegisterMenuFn>(kRegisterMenuSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    MenuRecord record{};
    record.menuResID = menuStrResID;
    record.secondResID = promptStrResID;
    record.placement = menuPosCode;
    record.option = static_cast<Int32>(menuFlags);
    return fn(&record);
}

GSErrCode ACAPI_MenuItem_InstallMenuHandler(short menuStrResID, APIMenuCommandProc* handlerProc) {
    const auto fn = SlotAt<InstallMenuHandlerFn>(kInstallMenuHandlerSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    // The host keeps the add-on's own handler and calls it with an API_MenuParams: no dispatcher between.
    return fn(HostContext, static_cast<Int32>(static_cast<UInt16>(menuStrResID)), handlerProc);
}

GSErrCode ACAPI_SetPreferences(Int32 version, GSSize nByte, const void* data) {
    const auto fn = SlotAt<SetPreferencesFn>(kSetPreferencesSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, version, nByte, data);
}

GSErrCode ACAPI_GetPreferences(Int32* version, GSSize* nByte, void* data) {
    const auto fn = SlotAt<GetPreferencesFn>(kGetPreferencesSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, version, nByte, data);
}

GSErrCode ACAPI_RegisterModelessWindow(Int32 referenceID, APIPaletteControlCallBackProc* callBackProc,
                                       GSFlags controlFlags, const API_Guid& paletteGuid) {
    const auto fn = SlotAt<RegisterModelessWindowFn>(kRegisterModelessWindowSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    ModelessWindowRecord record{};
    record.referenceId = referenceID;
    record.callback = callBackProc;
    record.flags = static_cast<Int32>(controlFlags);
    static_assert(sizeof record.guid == sizeof paletteGuid, "API_Guid is the host's 16 bytes");
    std::memcpy(record.guid, &paletteGuid, sizeof record.guid);
    return fn(HostContext, &record);
}

GSErrCode ACAPI_UnregisterModelessWindow(Int32 referenceID) {
    const auto fn = SlotAt<UnregisterModelessWindowFn>(kUnregisterModelessWindowSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, referenceID);
}

void ACAPI_WriteReport(const GS::UniString& format, bool withDial, ...) {
    const auto fn = SlotAt<WriteReportFn>(kWriteReportSlot);
    if (fn == nullptr)
        return;
    va_list args;
    va_start(args, withDial);
    fn(HostContext, &format, withDial ? 1 : 0, &args);
    va_end(args);
}

GSErrCode ACAPI_ProjectSettings_GetSpecFolder(API_SpecFolderID* specFolderID, IO::Location* location) {
    const auto fn = SlotAt<SelectorFn>(kEnvironmentSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, kSpecialFolderSelector, specFolderID, location, nullptr);
}

GSErrCode ACAPI_ProjectOperation_Save(const API_FileSavePars* fileSavePars,
                                      const API_SavePars_Picture* formatPars) {
    const auto fn = SlotAt<SelectorFn>(kAutomateSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, kSaveSelector, const_cast<API_FileSavePars*>(fileSavePars),
              const_cast<API_SavePars_Picture*>(formatPars), nullptr);
}

GSErrCode ACAPI_ProcessWindow_InitProcessWindow(const GS::UniString* title, Int32* nPhase,
                                                API_ProcessControlTypeID* processCntrolType) {
    return CallInterface(kInitProcessWindowSelector, const_cast<GS::UniString*>(title), nPhase,
                         processCntrolType);
}

GSErrCode ACAPI_ProcessWindow_SetNextProcessPhase(const GS::UniString* subtitle, Int32* maxval,
                                                  bool* showPercent) {
    return CallInterface(kNextProcessPhaseSelector, const_cast<GS::UniString*>(subtitle), maxval,
                         showPercent);
}

GSErrCode ACAPI_ProcessWindow_SetProcessValue(Int32* newval) {
    return CallInterface(kSetProcessValueSelector, newval);
}

GSErrCode ACAPI_ProcessWindow_IncProcessValue(Int32* incval) {
    return CallInterface(kIncProcessValueSelector, incval);
}

GSErrCode ACAPI_ProcessWindow_IsProcessCanceled() {
    return CallInterface(kIsProcessCanceledSelector);
}

GSErrCode ACAPI_ProcessWindow_CloseProcessWindow() {
    return CallInterface(kCloseProcessWindowSelector);
}
