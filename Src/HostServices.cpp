// The host state and the per-slot wrappers over the host function table.
#include "HostServices.hpp"

#include <cstdarg>
#include <cstring>

alignas(8) unsigned char HostFunctionTable[HostFunctionTableSize] = {};
void* HostContext = nullptr;
GSResModule ResModule = InvalidResModule;

namespace {

// Byte offsets of the slots in the table.
constexpr std::size_t kRegisterMenuSlot = 40;
constexpr std::size_t kInstallMenuHandlerSlot = 200;
constexpr std::size_t kSetPreferencesSlot = 464;
constexpr std::size_t kGetPreferencesSlot = 472;
constexpr std::size_t kRegisterModelessWindowSlot = 480;
constexpr std::size_t kUnregisterModelessWindowSlot = 488;
constexpr std::size_t kWriteReportSlot = 536;
constexpr std::size_t kEnvironmentSlot = 624;
constexpr std::size_t kAutomateSlot = 648;

constexpr UInt32 FourCharCode(const char (&code)[5]) {
    return (static_cast<UInt32>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<UInt32>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<UInt32>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<UInt32>(static_cast<unsigned char>(code[3]));
}
constexpr UInt32 kSpecialFolderSelector = FourCharCode("GSPF");
constexpr UInt32 kSaveSelector = FourCharCode("SAVE");

using RegisterMenuFn = GSErrCode (*)(const MenuRecord*);
using InstallMenuHandlerFn = GSErrCode (*)(void*, Int32, MenuCommandHandlerFn);
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

}  // namespace

GSErrCode HostRegisterMenu(Int16 menuResID, Int16 secondResID, Int32 placement, Int32 option) {
    const auto fn = SlotAt<RegisterMenuFn>(kRegisterMenuSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    MenuRecord record{};
    record.menuResID = menuResID;
    record.secondResID = secondResID;
    record.placement = placement;
    record.option = option;
    return fn(&record);
}

GSErrCode ACAPI_Install_MenuHandler(Int16 menuResID, MenuCommandHandlerFn handler) {
    const auto fn = SlotAt<InstallMenuHandlerFn>(kInstallMenuHandlerSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, static_cast<Int32>(static_cast<UInt16>(menuResID)), handler);
}

GSErrCode ACAPI_SetPreferences(Int32 version, Int32 size, const void* data) {
    const auto fn = SlotAt<SetPreferencesFn>(kSetPreferencesSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, version, size, data);
}

GSErrCode HostGetPreferences(Int32* version, Int32* size, void* data) {
    const auto fn = SlotAt<GetPreferencesFn>(kGetPreferencesSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, version, size, data);
}

GSErrCode ACAPI_RegisterModelessWindow(Int32 referenceId, PaletteCallbackFn callback, Int32 flags,
                                       const unsigned char (&guid)[16]) {
    const auto fn = SlotAt<RegisterModelessWindowFn>(kRegisterModelessWindowSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    ModelessWindowRecord record{};
    record.referenceId = referenceId;
    record.callback = callback;
    record.flags = flags;
    std::memcpy(record.guid, guid, sizeof record.guid);
    return fn(HostContext, &record);
}

GSErrCode HostUnregisterModelessWindow(Int32 referenceId) {
    const auto fn = SlotAt<UnregisterModelessWindowFn>(kUnregisterModelessWindowSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, referenceId);
}

GSErrCode HostWriteReport(const GS::UniString& format, bool alert, ...) {
    const auto fn = SlotAt<WriteReportFn>(kWriteReportSlot);
    if (fn == nullptr)
        return NoError;
    va_list args;
    va_start(args, alert);
    const GSErrCode result = fn(HostContext, &format, alert ? 1 : 0, &args);
    va_end(args);
    return result;
}

GSErrCode HostGetSpecialFolder(Int32 folderCode, IO::Location* location) {
    const auto fn = SlotAt<SelectorFn>(kEnvironmentSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, kSpecialFolderSelector, &folderCode, location, nullptr);
}

GSErrCode HostSaveRequest(const SaveFileRecord* fileRecord, const SavePictureRecord* pictureRecord) {
    const auto fn = SlotAt<SelectorFn>(kAutomateSlot);
    if (fn == nullptr)
        return APIERR_NOTSUPPORTED;
    return fn(HostContext, kSaveSelector, const_cast<SaveFileRecord*>(fileRecord),
              const_cast<SavePictureRecord*>(pictureRecord), nullptr);
}
