// hostsim::Host: the simulated host application. It loads an add-on module from its file, exchanges the
// descriptor and the function table with it, calls its lifecycle entries, serves the table's slots
// (menus, preferences, palettes, reports, special folders, view saving) and drives it like a user would.
// Everything runs on the calling thread, which plays the host's user-interface thread.
#pragma once

#include <array>
#include <cstdarg>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Abi.hpp"
#include "DGControl.hpp"
#include "DialogUser.hpp"
#include "GSGuid.hpp"
#include "GSRootControl.hpp"
#include "Menus.hpp"
#include "ModuleImage.hpp"
#include "PreferencesStore.hpp"
#include "ProcessWindow.hpp"
#include "RS.hpp"
#include "Script.hpp"
#include "UniString.hpp"
#include "browser/BrowserLauncher.hpp"

namespace hostsim {

struct Options {
    std::string dataDir;  // required: preferences and special folders live here
    // The user's profile folder, where the host library keeps the user's data-protection secret (not on
    // Windows, where the system keeps it); empty: "UserProfile" in dataDir. Another folder is another user.
    std::string userProfile;
    int windowWidth = 1280;  // the view is rendered and saved at the window size
    int windowHeight = 720;
    std::string viewFile;  // a JPEG shown as the view; empty: hostsim draws its building scene
    int jpegQuality = 90;
    BrowserMode browser = BrowserMode::None;
    std::string browserCommand;   // for BrowserMode::Command
    ChromiumOptions chromium;     // for BrowserMode::Chromium: routes and trust of the real browser
    std::string screenshotDir;    // for BrowserMode::Chromium: where screenshots of visited pages go
    std::ostream* log = nullptr;  // the readable account of what happens; nullptr: quiet
    bool logDebugLines = true;    // the module's debug lines in that account (they are kept either way)
};

struct Report {
    std::string text;
    bool alert = false;
};

struct PaletteRegistration {
    Int32 referenceId = 0;
    abi::ModelessWindowCallback callback = nullptr;
    Int32 flags = 0;
    GS::Guid guid;
    // How the host put it aside when the front window stopped enabling it: 0 not, abi::kPaletteHide or
    // abi::kPaletteDisable; the message after it (3 or 5) ends that when a window enabling it comes back.
    Int32 setAsideWith = 0;
};

struct SavedView {
    std::string path;
    std::size_t bytes = 0;
    int width = 0;
    int height = 0;
};

// One served slot's fault switch: the next `remaining` calls (all calls when negative) answer `code`.
struct SlotFault {
    GSErrCode code = 0;
    int remaining = 0;
    bool fired = false;
};

class Host {
public:
    // Installs the process-wide hooks (debug sink, beep listener, browser launcher) for this host. Only one
    // Host may exist at a time: a second one throws std::logic_error. Throws std::invalid_argument for an
    // empty data directory or a window without area.
    explicit Host(Options options);
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    // Unloads a loaded module (with the release entry when it is due) and removes the hooks.
    ~Host();

    // Loads the module file: dlopen and DLL attach, the host's own view of its resources (the add-on key
    // "MDID" 32500), then GetExportedFuncAddrs into a zeroed descriptor, which must carry the descriptor's
    // constants. On failure nothing stays loaded and *error says why.
    bool Load(const std::string& path, std::string* error);
    bool IsLoaded() const { return image_.IsMapped(); }

    // The table exchange and the four entries, each callable alone and in any order (lifecycle tests call
    // them out of order and repeat them). Without a loaded module they answer APIERR_GENERAL.
    GSErrCode ExchangeTables();  // SetImportedFuncAddrs with the current table
    Int32 CheckEnvironment();    // the add-on kind; keeps the name and description the module gave
    GSErrCode RegisterInterface();
    GSErrCode Initialize();
    GSErrCode Release();
    // The regular start: exchange, environment check (kind 1 expected), interface registration, initialise.
    // Returns the first failure (APIERR_GENERAL for an unexpected kind).
    GSErrCode Start();

    // Release entry (when callRelease and the module was initialised and not yet released), DLL detach and
    // dlclose. callRelease false plays a host that ends abnormally. Records the memory balance after it.
    void Unload(bool callRelease = true);

    // Calls the handler installed for menu `id` with a menu-parameter record. APIERR_BADPARS when no menu
    // has that id, APIERR_NOTSUPPORTED when it has no handler. Exceptions from the module pass through.
    GSErrCode RunMenuCommand(Int16 id);
    // The same for the item whose text (suffix stripped, e.g. "Export from current view") or whose
    // "<title> > <text>" matches.
    GSErrCode RunMenuCommandByText(const std::string& text);
    const MenuItem* FindMenu(const std::string& text) const;

    // Sends a palette message to the registered palette's callback under its reference id; returns the
    // callback's answer, or APIERR_GENERAL when no palette is registered.
    GSErrCode SendPaletteMessage(Int32 messageId, std::intptr_t param = 0);
    // The same under any reference id, as a host with several windows would: the module must ignore others.
    GSErrCode SendPaletteMessageTo(Int32 referenceId, Int32 messageId, std::intptr_t param = 0);
    // Message 7: whether the module says its palette is visible. *result receives the callback's code.
    bool AskPaletteVisible(GSErrCode* result = nullptr);
    // The DG stand-in's state of the registered palette's window, if it exists.
    std::optional<DG::Control::PaletteState> PaletteWindow() const;
    // The user clicks item `item` of the palette window / uses its close control. False with *error when
    // there is no such window or the click was not delivered.
    bool ClickPalette(short item, std::string* error);
    bool ClosePaletteWindow(std::string* error);
    // Brings `window` to the front, as the user switching windows. Each registered palette whose control
    // flags enable it above the window left and not above this one is put aside as the kit's callback
    // header describes: a docked palette window has its items disabled (message 4), a floating one, or a
    // palette without a window, is hidden (message 2). A palette put aside gets the matching end (5 or 3)
    // once a window that enables it is in front again. The account says each switch.
    void SwitchWindow(FrontWindow window);
    FrontWindow Front() const { return front_; }
    // The user docks the palette window into the host's frame or floats it again. False with *error when
    // there is no palette window.
    bool DockPalette(bool docked, std::string* error);
    // What the module did to its palette that the host does not allow: a window destroyed before the
    // release entry (a palette lives from its first opening until FreeData), one destroyed while still
    // processing events. Each is also in the account, as "error: ...".
    const std::vector<std::string>& PaletteProblems() const { return paletteProblems_; }
    // Each destruction of a palette window since the load, by when it happened: "in the release entry",
    // "at unload" (the module's detach and static destructors), or "while the host ran the module" (a menu
    // command, a palette message, a click). The account says "palette: window destroyed <when>".
    const std::vector<std::string>& PaletteDestructions() const { return paletteDestructions_; }

    // The user of modal dialogs. While a Host lives it is hostsim's DialogUser (installed with
    // DG::Control::SetUserDriver), never the DG stand-in's own drivers: DG::Control::ScriptUserActions is
    // not consulted. Answers are queued here; a dialog without an answer is dismissed and the problem kept.
    void QueueDialogAnswers(const std::vector<DG::Control::Action>& actions);
    std::size_t PendingDialogAnswers() const { return dialogUser_.Pending(); }
    void ClearDialogAnswers() { dialogUser_.ClearQueue(); }
    const std::vector<std::string>& DialogProblems() const { return dialogUser_.Problems(); }
    // A person at the terminal answers dialogs from now on (the streams must outlive the use); the other
    // switches back to the queued answers.
    void UseTerminalUser(std::istream& in, std::ostream& out) { dialogUser_.UseTerminal(&in, &out); }
    void UseQueuedAnswers() { dialogUser_.UseTerminal(nullptr, nullptr); }

    // One garbage collection of the default collector; returns the number of objects deleted.
    std::size_t CollectGarbage();
    // What the host does when idle: pending browser actions, then a garbage collection.
    void Idle();

    // Runs a 'SAVE' through the table slot exactly as the module does, into `path` (empty: hostsim's own
    // capture file, kCaptureFileName in the data directory). *savedPath receives the file written.
    GSErrCode CaptureView(const std::string& path, std::string* savedPath);

    // What the host was told and showed.
    const std::string& AddOnName() const { return addOnName_; }
    const std::string& AddOnDescription() const { return addOnDescription_; }
    const std::vector<MenuItem>& Menus() const { return menus_; }
    const std::vector<PaletteRegistration>& Palettes() const { return palettes_; }
    const std::vector<Report>& Reports() const { return reports_; }
    const std::vector<std::string>& DebugLines() const { return debugLines_; }
    int Beeps() const { return beeps_; }
    const std::vector<Launch>& Launches() const { return browser_.Launches(); }
    BrowserLauncher& Browser() { return browser_; }
    const std::vector<SavedView>& SavedViews() const { return savedViews_; }
    // The JPEG every save of this host writes (empty before the first): what a save gave the module, also
    // after the module deleted its file.
    const std::vector<unsigned char>& SavedJpeg() const { return renderedView_.jpeg; }
    const std::string& ModulePath() const { return image_.Path(); }
    const Options& GetOptions() const { return options_; }
    void ClearRecords();

    // The preferences store and this add-on's key in it (valid once a module was loaded).
    PreferencesStore& Preferences() { return store_; }
    const AddOnKey& Key() const { return key_; }
    std::optional<StoredPreferences> StoredPreferencesOfAddOn() const { return store_.Load(key_); }
    // The folder of special-folder code 4, the host's cache folder.
    std::string CacheFolder() const;
    // The folder of special-folder code 7, the host's temporary folder, emptied when the host starts.
    std::string TemporaryFolder() const;
    // The user's profile folder in use (Options::userProfile or its default).
    std::string UserProfileFolder() const;

    // The process window (slot 632) and the person in front of it. A dialog or a report that appears
    // while it is open is a problem (DialogProblems): the add-on must close it first.
    ProcessWindow& Progress() { return processWindow_; }

    // The table's functions serve whenever this Host lives, loaded or not, so a test can call them
    // directly (SlotFunction in the tests); before any load the preferences key is 00000000-00000000.
    // Slot switches. Faults act at call time. ClearSlot empties the slot in the table the module gets at the
    // next ExchangeTables; RestoreSlot puts hostsim's function back.
    void FailSlot(std::size_t offset, GSErrCode code, int count = 1);
    void ClearFaults();
    // The byte offsets of slot faults that have not fired once, in order.
    std::vector<std::size_t> UnfiredSlotFaults() const;
    void ClearSlot(std::size_t offset);
    void RestoreSlot(std::size_t offset);
    // How often the module (or hostsim's own capture) called a slot since the load.
    int SlotCalls(std::size_t offset) const;
    const std::array<const void*, abi::kSlotCount>& Table() const { return table_; }
    // The descriptor the module filled at Load.
    const std::array<unsigned char, abi::kDescriptorSize>& Descriptor() const { return descriptor_; }
    // The context pointer the initialise entry passes; slots reject any other.
    void* Context() { return &context_; }

    // GS::MemoryManager's counts just before the module was loaded and after it was unloaded (after
    // dlclose); the difference in live blocks is what the module left behind.
    const std::optional<GS::Control::MemoryStats>& MemoryBeforeLoad() const { return memoryBeforeLoad_; }
    const std::optional<GS::Control::MemoryStats>& MemoryAtUnload() const { return memoryAtUnload_; }

private:
    struct ContextRecord {
        UInt32 magic;
        Host* host;
    };
    friend struct SlotServer;
    void NotePaletteDestroyed(const GS::Guid& guid);

    void Note(const std::string& line);
    void FillTable();
    template <class Fn>
    Fn Entry(std::size_t offset) const;
    // Counts the call and applies a pending fault; returns the fault's code or 0.
    GSErrCode EnterSlot(std::size_t offset);

    GSErrCode DoRegisterMenu(const abi::MenuRecord* record);
    GSErrCode DoInstallMenuHandler(Int32 menuId, abi::MenuCommandHandler handler);
    GSErrCode DoSetPreferences(Int32 version, Int32 size, const void* data);
    GSErrCode DoGetPreferences(Int32* version, Int32* size, void* data);
    GSErrCode DoRegisterModelessWindow(const abi::ModelessWindowRecord* record);
    GSErrCode DoUnregisterModelessWindow(Int32 referenceId);
    GSErrCode DoWriteReport(const GS::UniString* format, char alert, va_list* args);
    GSErrCode DoEnvironment(UInt32 selector, void* p1, void* p2, void* p3);
    GSErrCode DoAutomate(UInt32 selector, void* p1, void* p2, void* p3);
    bool RenderSavedView(std::string* error);
    GSErrCode DoInterface(UInt32 selector, void* p1, void* p2, void* p3);

    Options options_;
    ContextRecord context_;
    ModuleImage image_;
    GSResModule resModule_ = InvalidResModule;
    AddOnKey key_;
    PreferencesStore store_;
    BrowserLauncher browser_;
    DialogUser dialogUser_;
    ProcessWindow processWindow_;
    std::array<unsigned char, abi::kDescriptorSize> descriptor_{};
    std::array<const void*, abi::kSlotCount> table_{};
    std::map<std::size_t, SlotFault> faults_;
    std::map<std::size_t, int> slotCalls_;
    bool registeringInterface_ = false;
    bool initialized_ = false;

    std::string addOnName_;
    std::string addOnDescription_;
    std::vector<MenuItem> menus_;
    std::vector<PaletteRegistration> palettes_;
    // Where the host is in the module's life, for the account of a palette window's destruction.
    const char* step_ = "while the host ran the module";
    std::vector<std::string> paletteDestructions_;
    std::vector<std::string> paletteProblems_;
    FrontWindow front_ = FrontWindow::ThreeD;
    std::vector<Report> reports_;
    std::vector<std::string> debugLines_;
    int beeps_ = 0;
    std::vector<SavedView> savedViews_;
    struct RenderedView {
        std::vector<unsigned char> jpeg;  // empty until the first save
        int width = 0;
        int height = 0;
    } renderedView_;
    std::optional<GS::Control::MemoryStats> memoryBeforeLoad_;
    std::optional<GS::Control::MemoryStats> memoryAtUnload_;
};

// The file of hostsim's own capture command (the module names its captures itself).
constexpr const char* kCaptureFileName = "KaveloArchiCapture.jpeg";
// hostsim's record, in the data directory, of the JPEG every save of a run writes.
constexpr const char* kSavedViewFileName = "SavedView.jpeg";

}  // namespace hostsim
