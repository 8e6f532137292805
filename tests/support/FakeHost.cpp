// The in-memory host's slot functions and capture of what the module shows and prints.
#include "FakeHost.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "ACAP_STATControl.hpp"
#include "DGControl.hpp"
#include "GSRootControl.hpp"
#include "GSUtilsControl.hpp"
#include "IOControl.hpp"
#include "JSONControl.hpp"
#include "LinkStoreFile.hpp"
#include "Location.hpp"
#include "PlatformControl.hpp"
#include "RSControl.hpp"
#include "ShellCatch.hpp"
#include "UniString.hpp"

namespace testsupport {

void* const FakeHost::kContext = reinterpret_cast<void*>(0x5EED);

namespace {

FakeHost* current = nullptr;

constexpr UInt32 kSpecialFolder = 0x47535046;      // 'GSPF'
constexpr UInt32 kSave = 0x53415645;               // 'SAVE'
constexpr UInt32 kInitProcessWindow = 0x49505744;  // 'IPWD'
constexpr UInt32 kNextPhase = 0x53505250;          // 'SPRP'
constexpr UInt32 kIsCanceled = 0x43414E43;         // 'CANC'
constexpr GSErrCode kBadPars = static_cast<GSErrCode>(0x81060068);

template <class Fn>
void SetSlot(std::size_t offset, Fn fn) {
    std::memcpy(HostFunctionTable + offset, &fn, sizeof fn);
}

bool Faulted(std::size_t slot, void* context, GSErrCode* code) {
    current->Record(slot, context);
    return current->TakeFault(slot, code);
}

GSErrCode RegisterMenu(const MenuRecord* record) {
    GSErrCode code;
    if (Faulted(kRegisterMenuSlot, nullptr, &code))
        return code;
    const auto* bytes = reinterpret_cast<const unsigned char*>(record);
    current->menuRecords.emplace_back(bytes, bytes + sizeof *record);
    return NoError;
}

GSErrCode InstallMenuHandler(void* context, Int32 menuId, APIMenuCommandProc* handler) {
    GSErrCode code;
    if (Faulted(kInstallMenuHandlerSlot, context, &code))
        return code;
    current->menuHandlers.emplace_back(menuId, handler);
    return NoError;
}

GSErrCode SetPreferences(void* context, Int32 version, Int32 size, const void* data) {
    GSErrCode code;
    if (Faulted(kSetPreferencesSlot, context, &code))
        return code;
    if (version == 0 && size == 0 && data == nullptr) {
        current->preferences.reset();
        return NoError;
    }
    if (size < 0 || (size > 0 && data == nullptr))
        return kBadPars;
    const auto* bytes = static_cast<const unsigned char*>(data);
    current->preferences = StoredPreferences{version, std::vector<unsigned char>(bytes, bytes + size)};
    return NoError;
}

GSErrCode GetPreferences(void* context, Int32* version, Int32* size, void* data) {
    GSErrCode code;
    if (Faulted(kGetPreferencesSlot, context, &code))
        return code;
    if (version == nullptr || size == nullptr)
        return kBadPars;
    if (!current->preferences) {
        *version = 0;
        *size = 0;
        return NoError;
    }
    *version = current->preferences->version;
    if (data == nullptr) {
        *size = static_cast<Int32>(current->preferences->bytes.size());
        return NoError;
    }
    const std::size_t count =
        std::min<std::size_t>(static_cast<std::size_t>(*size), current->preferences->bytes.size());
    std::memcpy(data, current->preferences->bytes.data(), count);
    return NoError;
}

GSErrCode RegisterModelessWindow(void* context, const ModelessWindowRecord* record) {
    GSErrCode code;
    if (Faulted(kRegisterModelessWindowSlot, context, &code))
        return code;
    const auto* bytes = reinterpret_cast<const unsigned char*>(record);
    current->windowRecords.emplace_back(bytes, bytes + sizeof *record);
    return NoError;
}

GSErrCode UnregisterModelessWindow(void* context, Int32 referenceId) {
    GSErrCode code;
    if (Faulted(kUnregisterModelessWindowSlot, context, &code))
        return code;
    current->unregisteredWindows.push_back(referenceId);
    return NoError;
}

GSErrCode WriteReport(void* context, const GS::UniString* format, char alert, va_list* args) {
    GSErrCode code;
    if (Faulted(kWriteReportSlot, context, &code))
        return code;
    const auto narrow = format->ToCStr(0, MaxUSize, CC_UTF8);
    va_list copy;
    va_copy(copy, *args);
    char buffer[4096];
    std::vsnprintf(buffer, sizeof buffer, narrow.Get(), copy);
    va_end(copy);
    current->reports.emplace_back(buffer);
    current->reportAlerts.push_back(alert != 0);
    return NoError;
}

GSErrCode Environment(void* context, UInt32 selector, void* p1, void* p2, void*) {
    GSErrCode code;
    if (Faulted(kEnvironmentSlot, context, &code))
        return code;
    if (selector != kSpecialFolder || p1 == nullptr || p2 == nullptr)
        return kBadPars;
    const Int32 folderCode = *static_cast<Int32*>(p1);
    if (folderCode != 4 && folderCode != 7)
        return kBadPars;
    const std::string& folder = folderCode == 4 ? current->cacheFolder : current->temporaryFolder;
    static_cast<IO::Location*>(p2)->Set(folder.c_str());
    return NoError;
}

GSErrCode Automate(void* context, UInt32 selector, void* p1, void* p2, void*) {
    GSErrCode code;
    ++current->saveRequests;
    if (Faulted(kAutomateSlot, context, &code))
        return code;
    if (selector != kSave || p1 == nullptr || p2 == nullptr)
        return kBadPars;
    const auto* file = static_cast<const API_FileSavePars*>(p1);
    const auto* picture = static_cast<const API_SavePars_Picture*>(p2);
    if (file->fileTypeID != 19 || picture->colorDepth != 6 || file->file == nullptr)
        return kBadPars;
    if (!current->viewJpeg)
        return APIERR_GENERAL;
    GS::UniString path;
    if (file->file->ToPath(&path) != NoError)
        return kBadPars;
    current->savePaths.push_back(path.ToCStr(0, MaxUSize, CC_UTF8).Get());
    WriteFile(current->savePaths.back(), *current->viewJpeg);
    return NoError;
}

GSErrCode Interface(void* context, UInt32 selector, void* p1, void* p2, void*) {
    GSErrCode code;
    if (Faulted(kInterfaceSlot, context, &code))
        return code;
    ProcessWindowCall call{selector, {}, std::nullopt};
    const bool titled = selector == kInitProcessWindow || selector == kNextPhase;
    if (titled && p1 != nullptr)
        call.text = static_cast<const GS::UniString*>(p1)->ToCStr(0, MaxUSize, CC_UTF8).Get();
    Int32* number = static_cast<Int32*>(titled ? p2 : p1);
    if (number != nullptr && selector != kIsCanceled)
        call.number = *number;
    current->processWindowCalls.push_back(call);
    return selector == kIsCanceled && current->processCanceled ? static_cast<GSErrCode>(APIERR_CANCEL)
                                                               : NoError;
}

}  // namespace

FakeHost::FakeHost() {
    if (current != nullptr)
        throw std::logic_error("FakeHost: only one may exist at a time");
    current = this;
    std::memset(HostFunctionTable, 0, HostFunctionTableSize);
    SetSlot(kRegisterMenuSlot, &RegisterMenu);
    SetSlot(kInstallMenuHandlerSlot, &InstallMenuHandler);
    SetSlot(kSetPreferencesSlot, &SetPreferences);
    SetSlot(kGetPreferencesSlot, &GetPreferences);
    SetSlot(kRegisterModelessWindowSlot, &RegisterModelessWindow);
    SetSlot(kUnregisterModelessWindowSlot, &UnregisterModelessWindow);
    SetSlot(kWriteReportSlot, &WriteReport);
    SetSlot(kEnvironmentSlot, &Environment);
    SetSlot(kInterfaceSlot, &Interface);
    SetSlot(kAutomateSlot, &Automate);
    HostContext = kContext;
    tempRoot_ = MakeTempFolder("kavelo-unit");
    cacheFolder = tempRoot_ + "/Cache";
    temporaryFolder = tempRoot_ + "/Temporary";
    std::filesystem::create_directory(std::filesystem::u8path(cacheFolder));
    std::filesystem::create_directory(std::filesystem::u8path(temporaryFolder));
    // The user of this host (outside Windows; there the prefix's user is).
    userProfile = tempRoot_ + "/UserProfile";
    Platform::Control::SetUserProfile(userProfile);
    roamingFolder = UserRoamingFolder();
    RemoveTree(LinkStoreFolder());
    beepsAtStart_ = GSUtils::Control::BeepCount();
    DG::Control::ResetForTesting();
    GS::Control::SetDebugSink([this](const std::string& text) { debugLines.push_back(text); });
    CatchShell([this](const ShellCall& call) {
        if (call.operation != u"open" || call.showCommand != 1 || call.owner || call.parameters ||
            call.directory)
            throw std::logic_error("FakeHost: unexpected ShellExecuteW call");
        launches.push_back(call.file);
        return launchSucceeds;
    });
}

FakeHost::~FakeHost() {
    StopCatchingShell();
    GS::Control::SetDebugSink(nullptr);
    std::memset(HostFunctionTable, 0, HostFunctionTableSize);
    HostContext = nullptr;
    RemoveTree(LinkStoreFolder());
    Platform::Control::SetUserProfile(std::string());
    IO::Control::ClearFaults();
    JSON::Control::ClearFaults();
    RemoveTree(tempRoot_);
    current = nullptr;
}

FakeHost& FakeHost::Current() {
    if (current == nullptr)
        throw std::logic_error("FakeHost: none installed");
    return *current;
}

void FakeHost::FailSlot(std::size_t slot, GSErrCode code, int count) {
    faults_[slot] = {code, count};
}

void FakeHost::EmptySlot(std::size_t slot) {
    std::memset(HostFunctionTable + slot, 0, sizeof(void*));
}

bool FakeHost::TakeFault(std::size_t slot, GSErrCode* code) {
    auto it = faults_.find(slot);
    if (it == faults_.end() || it->second.second == 0)
        return false;
    *code = it->second.first;
    if (it->second.second > 0)
        --it->second.second;
    return true;
}

int FakeHost::Beeps() const {
    return GSUtils::Control::BeepCount() - beepsAtStart_;
}

std::vector<std::string> FakeHost::TemporaryFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(temporaryFolder)))
        names.push_back(entry.path().filename().u8string());
    return names;
}

std::size_t FakeHost::CallsTo(std::size_t slot) const {
    std::size_t count = 0;
    for (const SlotCall& call : calls) count += call.slot == slot ? 1 : 0;
    return count;
}

std::vector<std::string> FakeHost::LaunchedUrls() const {
    std::vector<std::string> urls;
    for (const std::u16string& url : launches)
        urls.emplace_back(GS::UniString(std::u16string_view(url)).ToCStr(0, MaxUSize, CC_UTF8).Get());
    return urls;
}

ModuleResources::ModuleResources() {
    ResModule = RS::Control::OpenResourceFile(KAVELO_MODULE_PATH);
    if (ResModule == InvalidResModule)
        throw std::runtime_error("cannot open the resources of " KAVELO_MODULE_PATH);
}

ModuleResources::~ModuleResources() {
    RSRemoveModuleImageCache(ResModule);
    ResModule = InvalidResModule;
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::u8path(path), ignored);
}

std::string MakeTempFolder(const char* prefix) {
    static std::mt19937_64 names(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() /
            (std::string(prefix) + "-" + std::to_string(names() % 1000000000));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error))
            return folder.u8string();
    }
    throw std::runtime_error("cannot make a temporary folder");
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace testsupport
