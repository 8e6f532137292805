// The simulated host: loading, the lifecycle entries, the served slots and the user's actions.
#include "Host.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <ostream>
#include <stdexcept>
#include <system_error>

#include "DisposableControl.hpp"
#include "GSUtilsControl.hpp"
#include "Location.hpp"
#include "PlatformControl.hpp"
#include "RSLayouts.hpp"
#include "ReportFormat.hpp"
#include "Text.hpp"
#include "UniString.hpp"
#include "ViewRenderer.hpp"
#include "browser/LoginConfirmer.hpp"

namespace hostsim {

namespace {

constexpr UInt32 kContextMagic = 0x4B48534Du;  // "KHSM"

// The one live Host: the slot functions reach it through here, as slot 40 has no context argument.
Host* liveHost = nullptr;

std::string Hex(UInt32 value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::string GuidText(const GS::Guid& guid) {
    char text[GS::Guid::TextLength + 1];
    guid.ToText(text);
    return text;
}

GS::Guid GuidFromBytes(const UInt8 (&bytes)[16]) {
    // GS::Guid stores Data1..Data3 little-endian; its text form shows them as numbers.
    char text[GS::Guid::TextLength + 1];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  bytes[3], bytes[2], bytes[1], bytes[0], bytes[5], bytes[4], bytes[7], bytes[6], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return GS::Guid(text);
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

// The functions placed in the table. Each counts the call, checks the context, applies a fault switch,
// and hands over to the Host.
struct SlotServer {
    // A slot hostsim serves: its byte offset, the name the account gives it, and the function placed there.
    struct Slot {
        std::size_t offset;
        const char* name;
        const void* function;
    };

    // Every slot hostsim serves; the table's other slots stay empty (null).
    static const std::array<Slot, 10>& Slots() {
        static const std::array<Slot, 10> slots{{
            // Slot 40 is called without a context; it is served by the live host.
            {kRegisterMenuSlot, "RegisterMenu", reinterpret_cast<const void*>(&RegisterMenu)},
            Served<kInstallMenuHandlerSlot, &Host::DoInstallMenuHandler>("InstallMenuHandler"),
            Served<kSetPreferencesSlot, &Host::DoSetPreferences>("SetPreferences"),
            Served<kGetPreferencesSlot, &Host::DoGetPreferences>("GetPreferences"),
            Served<kRegisterModelessWindowSlot, &Host::DoRegisterModelessWindow>("RegisterModelessWindow"),
            Served<kUnregisterModelessWindowSlot, &Host::DoUnregisterModelessWindow>(
                "UnregisterModelessWindow"),
            Served<kWriteReportSlot, &Host::DoWriteReport>("WriteReport"),
            Served<kEnvironmentSlot, &Host::DoEnvironment>("Environment"),
            Served<kInterfaceSlot, &Host::DoInterface>("Interface"),
            Served<kAutomateSlot, &Host::DoAutomate>("Automate"),
        }};
        return slots;
    }

    // The served slot at that byte offset; null for a slot hostsim does not serve.
    static const Slot* Find(std::size_t offset) {
        for (const Slot& slot : Slots())
            if (slot.offset == offset)
                return &slot;
        return nullptr;
    }

    static const void* Function(std::size_t offset) {
        const Slot* slot = Find(offset);
        return slot != nullptr ? slot->function : nullptr;
    }

    static std::string Name(std::size_t offset) {
        const Slot* slot = Find(offset);
        if (slot == nullptr)
            return "slot at " + std::to_string(offset);
        return std::string(slot->name) + " (" + std::to_string(offset) + ")";
    }

    static Host* Enter(std::size_t offset, void* context, GSErrCode* early) {
        // Served while the Host lives, loaded or not, so that a test can call the table directly.
        Host* host = liveHost;
        if (host == nullptr) {
            *early = abi::APIERR_GENERAL;
            return nullptr;
        }
        ++host->slotCalls_[offset];
        if (context != &host->context_ || host->context_.magic != kContextMagic) {
            host->Note("host: " + Name(offset) + " called with an unknown context; answered APIERR_BADPARS");
            *early = abi::APIERR_BADPARS;
            return nullptr;
        }
        *early = host->EnterSlot(offset);
        return *early == NoError ? host : nullptr;
    }

    static GSErrCode RegisterMenu(const abi::MenuRecord* record) {
        GSErrCode early = NoError;
        Host* host = liveHost;
        if (Enter(kRegisterMenuSlot, host != nullptr ? &host->context_ : nullptr, &early) == nullptr)
            return early;
        return host->DoRegisterMenu(record);
    }

    // The function of a slot that the module calls with the context first and then the arguments of the
    // Host member that serves it.
    template <std::size_t Offset, auto Serve>
    struct Trampoline;
    template <std::size_t Offset, class... Args, GSErrCode (Host::*Serve)(Args...)>
    struct Trampoline<Offset, Serve> {
        static GSErrCode Call(void* context, Args... args) {
            GSErrCode early = NoError;
            Host* host = Enter(Offset, context, &early);
            return host != nullptr ? (host->*Serve)(args...) : early;
        }
    };

    template <std::size_t Offset, auto Serve>
    static Slot Served(const char* name) {
        return Slot{Offset, name, reinterpret_cast<const void*>(&Trampoline<Offset, Serve>::Call)};
    }
};

Host::Host(Options options)
    : options_(std::move(options)),
      context_{kContextMagic, this},
      store_(Utf8Of(PathOf(options_.dataDir) / "Preferences")),
      browser_(options_.browser, options_.browserCommand, options_.log),
      processWindow_([this](const std::string& line) { Note(line); }) {
    if (options_.dataDir.empty())
        throw std::invalid_argument("hostsim::Host needs a data directory");
    if (options_.windowWidth <= 0 || options_.windowHeight <= 0)
        throw std::invalid_argument("hostsim::Host needs a window with an area");
    if (liveHost != nullptr)
        throw std::logic_error("only one hostsim::Host may exist at a time");
    liveHost = this;
    FillTable();
    browser_.SetRecordFolder(PathOf(options_.dataDir) / "Launches");
    // As the real host does at launch: what an earlier run left in the temporary folder is gone.
    std::error_code ignored;
    std::filesystem::remove_all(PathOf(TemporaryFolder()), ignored);
    // False on Windows, where the system keeps each user's secrets: nothing to set there.
    Platform::Control::SetUserProfile(UserProfileFolder());
    browser_.SetLoginConfirmer(MakeHttpsLoginConfirmer());
    browser_.SetChromium(options_.chromium, options_.screenshotDir);
    GS::Control::SetDebugSink([this](const std::string& text) {
        std::string line = text;
        while (!line.empty() && line.back() == '\n') line.pop_back();
        debugLines_.push_back(line);
        if (options_.logDebugLines)
            Note("debug: " + line);
    });
    GSUtils::Control::SetBeepListener([this] {
        ++beeps_;
        Note("beep");
    });
    Platform::Control::SetLauncher(
        [this](const Platform::Control::ShellRequest& request) { return browser_.Open(request); });
    dialogUser_.SetShowCheck([this](const std::string& dialog) {
        return processWindow_.IsOpen() ? dialog + " appeared while the process window was open"
                                       : std::string();
    });
    DG::Control::SetUserDriver(&dialogUser_);
    DG::Control::SetPaletteDestroyedListener([this](const GS::Guid& guid) { NotePaletteDestroyed(guid); });
}

Host::~Host() {
    Unload(true);
    DG::Control::SetPaletteDestroyedListener(nullptr);
    DG::Control::UseScriptedUser();
    Platform::Control::SetLauncher(nullptr);
    Platform::Control::SetUserProfile(std::string());
    GSUtils::Control::SetBeepListener(nullptr);
    GS::Control::SetDebugSink(nullptr);
    liveHost = nullptr;
}

void Host::NotePaletteDestroyed(const GS::Guid& guid) {
    paletteDestructions_.push_back(step_);
    Note(std::string("palette: window destroyed ") + step_);
    const auto problem = [this](const std::string& what) {
        paletteProblems_.push_back(what);
        Note("error: " + what);
    };
    if (std::string(step_) == "while the host ran the module")
        problem("the palette window was destroyed before the release entry; a palette lives until FreeData");
    for (const DG::Control::PaletteState& state : DG::Control::GetPalettes()) {
        if (state.guid == guid && state.processingEvents)
            problem("the palette window was destroyed while still processing events");
    }
}

namespace {

Int32 EnablingFlag(FrontWindow window) {
    switch (window) {
        case FrontWindow::FloorPlan:
            return abi::kPalEnabledFloorPlan;
        case FrontWindow::Section:
            return abi::kPalEnabledSection;
        case FrontWindow::ThreeD:
            return abi::kPalEnabled3D;
        case FrontWindow::Layout:
            return abi::kPalEnabledLayout;
    }
    return 0;
}

}  // namespace

void Host::SwitchWindow(FrontWindow window) {
    front_ = window;
    Note(std::string("host: the ") + WindowName(window) + " window is in front");
    // A copy: a callback may register or unregister.
    std::vector<PaletteRegistration> registered = palettes_;
    for (PaletteRegistration& palette : registered) {
        const bool enabled = (palette.flags & EnablingFlag(window)) != 0;
        Int32 message = 0;
        Int32 setAside = palette.setAsideWith;
        if (!enabled && setAside == 0) {
            const std::optional<DG::Control::PaletteState> shown = PaletteWindow();
            message = shown && shown->docked ? abi::kPaletteDisable : abi::kPaletteHide;
            setAside = message;
        } else if (enabled && setAside != 0) {
            message = setAside == abi::kPaletteDisable ? abi::kPaletteEnable : abi::kPaletteShow;
            setAside = 0;
        }
        if (message == 0)
            continue;
        for (PaletteRegistration& kept : palettes_) {
            if (kept.referenceId == palette.referenceId)
                kept.setAsideWith = setAside;
        }
        SendPaletteMessageTo(palette.referenceId, message);
    }
}

bool Host::DockPalette(bool docked, std::string* error) {
    if (!PaletteWindow()) {
        *error = "no palette window is open";
        return false;
    }
    DG::Control::DockPalette(palettes_.front().guid, docked);
    Note(docked ? "palette: docked" : "palette: floating");
    return true;
}

void Host::Note(const std::string& line) {
    if (options_.log != nullptr)
        *options_.log << line << "\n" << std::flush;
}

void Host::FillTable() {
    for (const SlotServer::Slot& slot : SlotServer::Slots())
        table_[slot.offset / sizeof(void*)] = slot.function;
}

void Host::ClearSlot(std::size_t offset) {
    if (offset % sizeof(void*) != 0 || offset / sizeof(void*) >= abi::kSlotCount)
        throw std::out_of_range("no table slot at byte offset " + std::to_string(offset));
    table_[offset / sizeof(void*)] = nullptr;
}

void Host::RestoreSlot(std::size_t offset) {
    if (offset % sizeof(void*) != 0 || offset / sizeof(void*) >= abi::kSlotCount)
        throw std::out_of_range("no table slot at byte offset " + std::to_string(offset));
    table_[offset / sizeof(void*)] = SlotServer::Function(offset);
}

void Host::FailSlot(std::size_t offset, GSErrCode code, int count) {
    if (SlotServer::Function(offset) == nullptr)
        throw std::out_of_range("hostsim does not serve a slot at byte offset " + std::to_string(offset));
    faults_[offset] = SlotFault{code, count};
}

void Host::ClearFaults() {
    faults_.clear();
}

std::vector<std::size_t> Host::UnfiredSlotFaults() const {
    std::vector<std::size_t> unfired;
    for (const auto& [offset, fault] : faults_)
        if (!fault.fired)
            unfired.push_back(offset);
    return unfired;
}

int Host::SlotCalls(std::size_t offset) const {
    const auto found = slotCalls_.find(offset);
    return found != slotCalls_.end() ? found->second : 0;
}

GSErrCode Host::EnterSlot(std::size_t offset) {
    const auto found = faults_.find(offset);
    if (found == faults_.end() || found->second.remaining == 0)
        return NoError;
    const GSErrCode code = found->second.code;
    found->second.fired = true;
    if (found->second.remaining > 0 && --found->second.remaining == 0)
        faults_.erase(found);
    Note("host: " + SlotServer::Name(offset) + " fails by request with " + Hex(static_cast<UInt32>(code)));
    return code;
}

template <class Fn>
Fn Host::Entry(std::size_t offset) const {
    Fn entry = nullptr;
    std::memcpy(&entry, descriptor_.data() + offset, sizeof entry);
    return entry;
}

bool Host::Load(const std::string& path, std::string* error) {
    if (IsLoaded()) {
        *error = "a module is already loaded: " + image_.Path();
        return false;
    }
    memoryBeforeLoad_ = GS::Control::GetMemoryStats();
    paletteDestructions_.clear();
    paletteProblems_.clear();
    if (!image_.Map(path, error))
        return false;
    const auto fail = [&](const std::string& why) {
        *error = why;
        if (resModule_ != InvalidResModule)
            RSRemoveModuleImageCache(resModule_);
        resModule_ = InvalidResModule;
        image_.Unmap();
        return false;
    };
    resModule_ = RSInitModuleImageCache(reinterpret_cast<GSResModule>(image_.Handle()));
    if (resModule_ == InvalidResModule)
        return fail(image_.Path() + " holds no resources the host can read");
    unsigned developerId = 0;
    unsigned addOnId = 0;
    std::string why;
    if (!RS::LoadAddOnId(resModule_, abi::kModuleIdResource, &developerId, &addOnId, &why))
        return fail(image_.Path() + " has no add-on identifier (\"MDID\" 32500): " + why);
    key_.developerId = developerId;
    key_.addOnId = addOnId;

    descriptor_.fill(0);
    image_.GetExportedFuncAddrs()(descriptor_.data());
    UInt32 header = 0;
    UInt32 trailer = 0;
    std::memcpy(&header, descriptor_.data() + abi::kDescriptorHeaderOffset, 4);
    std::memcpy(&trailer, descriptor_.data() + abi::kDescriptorTrailerOffset, 4);
    if (header != abi::kDescriptorHeader || trailer != abi::kDescriptorTrailer)
        return fail("the add-on descriptor carries " + Hex(header) + " / " + std::to_string(trailer) +
                    ", expected " + Hex(abi::kDescriptorHeader) + " / " +
                    std::to_string(abi::kDescriptorTrailer));
    for (std::size_t offset :
         {abi::kDescriptorCheckEnvironmentOffset, abi::kDescriptorRegisterInterfaceOffset,
          abi::kDescriptorInitializeOffset, abi::kDescriptorFreeDataOffset}) {
        if (Entry<void*>(offset) == nullptr)
            return fail("the add-on descriptor has no entry at offset " + std::to_string(offset));
    }
    slotCalls_.clear();
    menus_.clear();
    palettes_.clear();
    initialized_ = false;
    memoryAtUnload_.reset();
    Note("host: loaded " + image_.Path() + " (add-on " + key_.ToString() + ")");
    return true;
}

GSErrCode Host::ExchangeTables() {
    if (!IsLoaded())
        return abi::APIERR_GENERAL;
    const GSErrCode result = image_.SetImportedFuncAddrs()(table_.data());
    Note("host: function table handed over, answer " + std::to_string(result));
    return result;
}

Int32 Host::CheckEnvironment() {
    if (!IsLoaded())
        return abi::APIERR_GENERAL;
    alignas(16) unsigned char record[abi::kEnvironmentRecordSize] = {};
    auto* name = new (record + abi::kEnvironmentNameOffset) GS::UniString();
    auto* description = new (record + abi::kEnvironmentDescriptionOffset) GS::UniString();
    const Int32 kind = Entry<abi::CheckEnvironmentFn>(abi::kDescriptorCheckEnvironmentOffset)(record);
    addOnName_ = ToUtf8(*name);
    addOnDescription_ = ToUtf8(*description);
    description->~UniString();
    name->~UniString();
    Note("host: add-on kind " + std::to_string(kind) + ", name " + Quoted(addOnName_) + ", description " +
         Quoted(addOnDescription_));
    return kind;
}

GSErrCode Host::RegisterInterface() {
    if (!IsLoaded())
        return abi::APIERR_GENERAL;
    registeringInterface_ = true;
    const GSErrCode result =
        Entry<abi::RegisterInterfaceFn>(abi::kDescriptorRegisterInterfaceOffset)(nullptr);
    registeringInterface_ = false;
    Note("host: interface registration answered " + Hex(static_cast<UInt32>(result)));
    return result;
}

GSErrCode Host::Initialize() {
    if (!IsLoaded())
        return abi::APIERR_GENERAL;
    initialized_ = true;
    const GSErrCode result = Entry<abi::InitializeFn>(abi::kDescriptorInitializeOffset)(&context_);
    Note("host: initialise answered " + Hex(static_cast<UInt32>(result)));
    return result;
}

GSErrCode Host::Release() {
    if (!IsLoaded())
        return abi::APIERR_GENERAL;
    initialized_ = false;
    step_ = "in the release entry";
    const GSErrCode result = Entry<abi::FreeDataFn>(abi::kDescriptorFreeDataOffset)(nullptr);
    step_ = "while the host ran the module";
    Note("host: release answered " + Hex(static_cast<UInt32>(result)));
    return result;
}

GSErrCode Host::Start() {
    GSErrCode result = ExchangeTables();
    if (result != NoError)
        return result;
    if (CheckEnvironment() != abi::kAddOnKindNormal)
        return abi::APIERR_GENERAL;
    result = RegisterInterface();
    if (result != NoError)
        return result;
    return Initialize();
}

void Host::Unload(bool callRelease) {
    if (!IsLoaded())
        return;
    if (callRelease && initialized_)
        Release();
    if (resModule_ != InvalidResModule)
        RSRemoveModuleImageCache(resModule_);
    resModule_ = InvalidResModule;
    const std::string path = image_.Path();
    step_ = "at unload";
    image_.Unmap();
    step_ = "while the host ran the module";
    initialized_ = false;
    menus_.clear();
    palettes_.clear();
    memoryAtUnload_ = GS::Control::GetMemoryStats();
    const std::int64_t before = memoryBeforeLoad_ ? memoryBeforeLoad_->liveBlocks : 0;
    Note("host: unloaded " + path + "; memory manager: " + std::to_string(memoryAtUnload_->liveBlocks) +
         " live blocks (" + std::to_string(before) + " before the load), " +
         std::to_string(memoryAtUnload_->liveBytes) + " bytes");
}

const MenuItem* Host::FindMenu(const std::string& text) const {
    const std::string wanted = Trim(text);
    for (const MenuItem& menu : menus_) {
        if (menu.item.text == wanted || menu.rawText == wanted ||
            menu.title + " > " + menu.item.text == wanted)
            return &menu;
    }
    return nullptr;
}

GSErrCode Host::RunMenuCommand(Int16 id) {
    for (const MenuItem& menu : menus_) {
        if (menu.id != id)
            continue;
        if (menu.handler == nullptr) {
            Note("host: menu " + std::to_string(id) + " has no handler");
            return abi::APIERR_NOTSUPPORTED;
        }
        Note("menu: " + menu.Describe());
        abi::MenuParams params{};
        params.menuResID = id;
        params.itemIndex = 1;
        const GSErrCode result = menu.handler(&params);
        Note("menu: handler answered " + Hex(static_cast<UInt32>(result)));
        return result;
    }
    Note("host: no menu " + std::to_string(id));
    return abi::APIERR_BADPARS;
}

GSErrCode Host::RunMenuCommandByText(const std::string& text) {
    const MenuItem* menu = FindMenu(text);
    if (menu == nullptr) {
        Note("host: no menu item " + Quoted(Trim(text)));
        return abi::APIERR_BADPARS;
    }
    return RunMenuCommand(menu->id);
}

GSErrCode Host::SendPaletteMessage(Int32 messageId, std::intptr_t param) {
    if (palettes_.empty()) {
        Note("host: no palette is registered");
        return abi::APIERR_GENERAL;
    }
    return SendPaletteMessageTo(palettes_.front().referenceId, messageId, param);
}

GSErrCode Host::SendPaletteMessageTo(Int32 referenceId, Int32 messageId, std::intptr_t param) {
    if (palettes_.empty()) {
        Note("host: no palette is registered");
        return abi::APIERR_GENERAL;
    }
    const GSErrCode result = palettes_.front().callback(referenceId, messageId, param);
    Note("palette: message " + std::to_string(messageId) + " to " + std::to_string(referenceId) +
         " answered " + Hex(static_cast<UInt32>(result)));
    return result;
}

bool Host::AskPaletteVisible(GSErrCode* result) {
    unsigned char answer = 0;
    const GSErrCode code =
        SendPaletteMessage(abi::kPaletteIsVisible, reinterpret_cast<std::intptr_t>(&answer));
    if (result != nullptr)
        *result = code;
    return answer != 0;
}

std::optional<DG::Control::PaletteState> Host::PaletteWindow() const {
    if (palettes_.empty())
        return std::nullopt;
    for (const DG::Control::PaletteState& state : DG::Control::GetPalettes()) {
        if (state.guid == palettes_.front().guid)
            return state;
    }
    return std::nullopt;
}

bool Host::ClickPalette(short item, std::string* error) {
    if (!PaletteWindow()) {
        *error = "no palette window is open";
        return false;
    }
    Note("palette: click item " + std::to_string(item));
    if (!DG::Control::ClickPaletteItem(palettes_.front().guid, item)) {
        *error =
            "the palette did not take the click (hidden, not processing events, or the item is disabled)";
        return false;
    }
    return true;
}

bool Host::ClosePaletteWindow(std::string* error) {
    if (!PaletteWindow()) {
        *error = "no palette window is open";
        return false;
    }
    Note("palette: close control");
    if (!DG::Control::RequestPaletteClose(palettes_.front().guid)) {
        *error = "the palette is hidden";
        return false;
    }
    return true;
}

void Host::QueueDialogAnswers(const std::vector<DG::Control::Action>& actions) {
    dialogUser_.Queue(actions);
}

std::size_t Host::CollectGarbage() {
    const std::size_t disposed = GS::Control::RunGarbageCollection();
    if (disposed > 0)
        Note("host: garbage collector disposed of " + std::to_string(disposed) + " object(s)");
    return disposed;
}

void Host::Idle() {
    browser_.RunPending();
    CollectGarbage();
}

void Host::ClearRecords() {
    reports_.clear();
    debugLines_.clear();
    beeps_ = 0;
    savedViews_.clear();
    browser_.ClearLaunches();
}

std::string Host::UserProfileFolder() const {
    if (!options_.userProfile.empty())
        return options_.userProfile;
    return Utf8Of(PathOf(options_.dataDir) / "UserProfile");
}

std::string Host::CacheFolder() const {
    return Utf8Of(PathOf(options_.dataDir) / "Cache");
}

std::string Host::TemporaryFolder() const {
    return Utf8Of(PathOf(options_.dataDir) / "Temporary");
}

GSErrCode Host::CaptureView(const std::string& path, std::string* savedPath) {
    std::string target = path;
    if (target.empty())
        target = Utf8Of(PathOf(options_.dataDir) / kCaptureFileName);
    IO::Location location(target.c_str());
    abi::SaveFileRecord file{};
    file.fileType = abi::kFileTypeJpeg;
    file.location = &location;
    abi::SavePictureRecord picture{};
    picture.kind = abi::kPictureKindView;
    const auto automate = reinterpret_cast<GSErrCode (*)(void*, UInt32, void*, void*, void*)>(
        const_cast<void*>(table_[kAutomateSlot / sizeof(void*)]));
    if (automate == nullptr)
        return abi::APIERR_NOTSUPPORTED;
    if (savedPath != nullptr)
        *savedPath = target;
    return automate(&context_, abi::kSelectorSave, &file, &picture, nullptr);
}

GSErrCode Host::DoRegisterMenu(const abi::MenuRecord* record) {
    if (record == nullptr)
        return abi::APIERR_BADPARS;
    if (!registeringInterface_) {
        Note("host: menus can only be registered during the interface registration");
        return abi::APIERR_GENERAL;
    }
    std::vector<std::string> strings;
    std::vector<std::string> secondStrings;
    std::string error;
    if (!RS::LoadStringList(resModule_, record->menuStrId, &strings, &error)) {
        Note("host: menu string list " + std::to_string(record->menuStrId) + " cannot be read: " + error);
        return abi::APIERR_BADPARS;
    }
    if (record->secondStrId != 0 &&
        !RS::LoadStringList(resModule_, record->secondStrId, &secondStrings, &error)) {
        Note("host: menu string list " + std::to_string(record->secondStrId) + " cannot be read: " + error);
        return abi::APIERR_BADPARS;
    }
    MenuItem item;
    if (!BuildMenuItem(*record, strings, secondStrings, &item, &error)) {
        Note("host: " + error);
        return abi::APIERR_BADPARS;
    }
    for (MenuItem& existing : menus_) {
        if (existing.id == item.id) {
            item.handler = existing.handler;
            existing = item;
            Note("host: menu registered again: " + item.Describe());
            return NoError;
        }
    }
    Note("host: menu registered: " + item.Describe());
    menus_.push_back(std::move(item));
    return NoError;
}

GSErrCode Host::DoInstallMenuHandler(Int32 menuId, abi::MenuCommandHandler handler) {
    if (handler == nullptr)
        return abi::APIERR_BADPARS;
    for (MenuItem& menu : menus_) {
        if (menu.id == menuId) {
            menu.handler = handler;
            return NoError;
        }
    }
    Note("host: a handler for menu " + std::to_string(menuId) + ", which is not registered");
    return abi::APIERR_BADPARS;
}

GSErrCode Host::DoSetPreferences(Int32 version, Int32 size, const void* data) {
    std::string error;
    if (version == 0 && size == 0 && data == nullptr) {
        if (!store_.Remove(key_, &error)) {
            Note("host: " + error);
            return abi::APIERR_GENERAL;
        }
        Note("preferences: deleted");
        return NoError;
    }
    if (size < 0 || (size > 0 && data == nullptr))
        return abi::APIERR_BADPARS;
    StoredPreferences record;
    record.version = version;
    const auto* bytes = static_cast<const unsigned char*>(data);
    record.bytes.assign(bytes, bytes + size);
    if (!store_.Save(key_, record, &error)) {
        Note("host: " + error);
        return abi::APIERR_GENERAL;
    }
    Note("preferences: stored version " + std::to_string(version) + ", " + std::to_string(size) + " bytes");
    return NoError;
}

GSErrCode Host::DoGetPreferences(Int32* version, Int32* size, void* data) {
    if (version == nullptr || size == nullptr)
        return abi::APIERR_BADPARS;
    std::string error;
    const std::optional<StoredPreferences> record = store_.Load(key_, &error);
    if (!error.empty()) {
        Note("host: " + error);
        return abi::APIERR_GENERAL;
    }
    if (!record) {
        *version = 0;
        *size = 0;
        return NoError;
    }
    const auto stored = static_cast<Int32>(record->bytes.size());
    if (data == nullptr) {
        *version = record->version;
        *size = stored;
        return NoError;
    }
    if (*size < 0)
        return abi::APIERR_BADPARS;
    // Never more than the caller's buffer holds.
    const Int32 copied = *size < stored ? *size : stored;
    std::memcpy(data, record->bytes.data(), static_cast<std::size_t>(copied));
    *version = record->version;
    *size = copied;
    return NoError;
}

GSErrCode Host::DoRegisterModelessWindow(const abi::ModelessWindowRecord* record) {
    if (record == nullptr || record->callback == nullptr)
        return abi::APIERR_BADPARS;
    PaletteRegistration registration;
    registration.referenceId = record->referenceId;
    registration.callback = record->callback;
    registration.flags = record->flags;
    registration.guid = GuidFromBytes(record->guid);
    const std::string described = "ref id " + std::to_string(registration.referenceId) + ", flags " +
                                  std::to_string(registration.flags) + ", guid " +
                                  GuidText(registration.guid);
    for (PaletteRegistration& existing : palettes_) {
        if (existing.referenceId == registration.referenceId) {
            existing = registration;
            Note("host: palette registered again: " + described);
            return NoError;
        }
    }
    palettes_.push_back(registration);
    Note("host: palette registered: " + described);
    return NoError;
}

GSErrCode Host::DoUnregisterModelessWindow(Int32 referenceId) {
    for (auto it = palettes_.begin(); it != palettes_.end(); ++it) {
        if (it->referenceId == referenceId) {
            palettes_.erase(it);
            Note("host: palette " + std::to_string(referenceId) + " unregistered");
            return NoError;
        }
    }
    Note("host: palette " + std::to_string(referenceId) + " was not registered");
    return abi::APIERR_BADPARS;
}

GSErrCode Host::DoWriteReport(const GS::UniString* format, char alert, va_list* args) {
    std::string text;
    std::string error;
    if (!FormatReport(format, args, &text, &error)) {
        Note("host: report not shown: " + error);
        return abi::APIERR_BADPARS;
    }
    if (processWindow_.IsOpen())
        dialogUser_.AddProblem("the report \"" + text + "\" appeared while the process window was open");
    reports_.push_back(Report{text, alert != 0});
    Note(std::string(alert != 0 ? "report (alert): " : "report: ") + text);
    return NoError;
}

GSErrCode Host::DoEnvironment(UInt32 selector, void* p1, void* p2, void* /*p3*/) {
    if (selector != abi::kSelectorSpecialFolder || p1 == nullptr || p2 == nullptr)
        return abi::APIERR_BADPARS;
    const Int32 code = *static_cast<const Int32*>(p1);
    if (code != abi::kFolderCache && code != abi::kFolderTemporary) {
        Note("host: special folder " + std::to_string(code) + " is not served");
        return abi::APIERR_BADPARS;
    }
    const std::string folder = code == abi::kFolderCache ? CacheFolder() : TemporaryFolder();
    std::error_code ec;
    std::filesystem::create_directories(PathOf(folder), ec);
    if (ec) {
        Note("host: cannot create " + folder + ": " + ec.message());
        return abi::APIERR_GENERAL;
    }
    static_cast<IO::Location*>(p2)->Set(folder.c_str());
    return NoError;
}

// The view and the window never change while a host lives, and rendering is deterministic, so the JPEG of
// the first save serves every later one: the same bytes, without rendering a 4K view again each time.
bool Host::RenderSavedView(std::string* error) {
    if (!renderedView_.jpeg.empty())
        return true;
    RgbImage view;
    if (!RenderView(options_.viewFile, options_.windowWidth, options_.windowHeight, &view, error) ||
        !EncodeJpeg(view, options_.jpegQuality, &renderedView_.jpeg, error)) {
        renderedView_.jpeg.clear();
        return false;
    }
    renderedView_.width = view.width;
    renderedView_.height = view.height;
    // hostsim's own record of what its saves write, for tests to compare with what arrived: the module
    // deletes its capture once read.
    return WriteFileBytes(Utf8Of(PathOf(options_.dataDir) / kSavedViewFileName), renderedView_.jpeg, error);
}

GSErrCode Host::DoAutomate(UInt32 selector, void* p1, void* p2, void* /*p3*/) {
    if (selector != abi::kSelectorSave || p1 == nullptr || p2 == nullptr)
        return abi::APIERR_BADPARS;
    const auto* file = static_cast<const abi::SaveFileRecord*>(p1);
    const auto* picture = static_cast<const abi::SavePictureRecord*>(p2);
    if (file->fileType != abi::kFileTypeJpeg || file->location == nullptr ||
        picture->kind != abi::kPictureKindView)
        return abi::APIERR_BADPARS;
    GS::UniString pathText;
    if (static_cast<const IO::Location*>(file->location)->ToPath(&pathText) != NoError)
        return abi::APIERR_BADPARS;
    const std::string path = ToUtf8(pathText);

    std::string error;
    if (!RenderSavedView(&error) || !WriteFileBytes(path, renderedView_.jpeg, &error)) {
        Note("host: view not saved: " + error);
        return abi::APIERR_GENERAL;
    }
    const RenderedView& view = renderedView_;
    savedViews_.push_back(SavedView{path, view.jpeg.size(), view.width, view.height});
    Note("host: view saved to " + path + " (" + std::to_string(view.width) + "x" +
         std::to_string(view.height) + ", " + std::to_string(view.jpeg.size()) + " bytes)");
    return NoError;
}

GSErrCode Host::DoInterface(UInt32 selector, void* p1, void* p2, void* p3) {
    return processWindow_.Serve(selector, p1, p2, p3);
}

}  // namespace hostsim
