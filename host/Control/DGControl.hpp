// Control of the DG stand-in for the simulated host and tests: the user who drives modal dialogs (a script
// or a person at a terminal), the record of every dialog shown, the palettes and their user actions, and
// observer bookkeeping. The add-on never uses this. Only the host's user-interface thread may call it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

#include "GSGuid.hpp"
#include "RSLayouts.hpp"

namespace DG::Control {

// Where panels take their layouts from. The default reads the module's resources (RS::LoadDialogLayout).
// Same contract: false with *error set when the layout cannot be had.
using LayoutSource = std::function<bool(GSResModule, GSResID, RS::DialogLayout*, std::string* error)>;
// An empty function restores the default.
void SetLayoutSourceForTesting(LayoutSource source);

enum class ActionKind { ClickItem, CloseControl, EscapeKey };

// One action of the user on a modal dialog. `expectedDialog`, when not 0, is the resource id of the dialog
// the action is meant for; the scripted user throws ScriptError when another dialog is shown.
struct Action {
    ActionKind kind = ActionKind::ClickItem;
    short item = 0;
    GSResID expectedDialog = 0;

    static Action Click(short item, GSResID expectedDialog = 0);
    static Action CloseControl(GSResID expectedDialog = 0);
    static Action EscapeKey(GSResID expectedDialog = 0);
};
// "click item 1", "close control" or "Esc key".
std::string Describe(const Action& action);
bool operator==(const Action& a, const Action& b);

// A panel as the user sees it.
struct ItemView {
    short number = 0;
    RS::ItemType type = RS::ItemType::Separator;
    std::string text;
    GSResID iconId = 0;
    bool enabled = true;
};
struct DialogView {
    GSResID resId = 0;
    std::string title;
    std::vector<ItemView> items;
};

// Decides the user's next action on a modal dialog. May throw to end the modal loop; the exception
// passes out of ModalDialog::Invoke.
class UserDriver {
public:
    virtual ~UserDriver();
    virtual Action NextAction(const DialogView& dialog) = 0;
};

// Thrown by the scripted user when the script has no action left, or its next action is meant for
// another dialog. The message names the dialog shown.
class ScriptError : public std::runtime_error {
public:
    explicit ScriptError(const std::string& message);
    ~ScriptError() override;
};

// The scripted user (the default driver): appends actions to its queue, taken one per user action.
void ScriptUserActions(const std::vector<Action>& actions);
void ClearUserScript();
std::size_t GetPendingUserActionCount();

// Makes a person at a terminal the user: each dialog is drawn on `out` and the choice read from `in`, a
// button number, "c" for the close control or "esc" for the Esc key. End of input throws
// std::runtime_error. The streams must outlive the terminal user.
void UseTerminalUser(std::istream& in, std::ostream& out);
// Makes `driver` (not owned; it must outlive its use) the user; nullptr restores the scripted user.
void SetUserDriver(UserDriver* driver);
void UseScriptedUser();

// The title, the static texts and the numbered buttons, as the terminal user sees them.
void DrawDialog(const DialogView& dialog, std::ostream& out);

// One modal run of a dialog, recorded when Invoke starts.
struct DialogRecord {
    GSResID resId = 0;
    std::string title;
    std::vector<std::string> texts;    // static texts in item order
    std::vector<std::string> buttons;  // texts of the push buttons in item order
    std::vector<Action> actions;       // every action the user took, in order
    bool finished = false;             // the loop ended by a close request (not by an exception)
    int response = 0;                  // the response it closed with
    bool result = false;               // what Invoke returned
    std::string error;                 // the message of the exception that ended the loop, if any
};
std::vector<DialogRecord> GetShownDialogs();
void ClearShownDialogs();

// A live palette.
struct PaletteState {
    GS::Guid guid;
    GSResID resId = 0;
    std::string title;
    bool visible = false;
    bool processingEvents = false;
    bool docked = false;             // the user docked it (DockPalette)
    bool itemsEnabled = true;        // every item enabled
    bool markedForDisposal = false;  // its GS::DisposableObject part is marked
    short lastShowPlacement = 0;
};
std::vector<PaletteState> GetPalettes();
// Told the guid of each palette whose window is destroyed, as its DG::Palette goes. An empty function
// tells nobody.
using PaletteListener = std::function<void(const GS::Guid& guid)>;
void SetPaletteDestroyedListener(PaletteListener listener);

// The user clicks item `item` of the palette with `guid`: the button objects bound to it tell their
// observers. Returns false, telling nobody, when the palette is hidden or not processing events, or the
// item is disabled or not a push button. Throws std::invalid_argument for an unknown guid or item number.
bool ClickPaletteItem(const GS::Guid& guid, short item);
// The user uses the palette's close control: its panel observers are told. The palette does only what they
// do. Returns false, telling nobody, when the palette is hidden. Throws std::invalid_argument for an
// unknown guid.
bool RequestPaletteClose(const GS::Guid& guid);
// The user docks the palette with `guid` into the host's window frame, or floats it again (`docked`
// false); a palette starts floating. The host decides by it what leaving a window the palette is
// registered for does to the palette: a docked one has its items disabled, a floating one is hidden.
// Throws std::invalid_argument for an unknown guid.
void DockPalette(const GS::Guid& guid, bool docked);
// Draws the palette's title, state and icon buttons on `out`. Throws std::invalid_argument for an unknown
// guid.
void DrawPalette(const GS::Guid& guid, std::ostream& out);

struct ObserverStats {
    std::int64_t livePanels = 0;
    std::int64_t liveItems = 0;
    std::int64_t livePanelObservers = 0;
    std::int64_t liveButtonObservers = 0;
    std::int64_t liveCompoundObservers = 0;
    std::int64_t attachments = 0;  // observer-to-panel and observer-to-item attachments now in place
    // Attachments ended because the observer, item or panel was destroyed while still attached, not by
    // Detach; since the start or the last ResetForTesting.
    std::int64_t leftAttached = 0;
};
ObserverStats GetObserverStats();

// Back to the start: empty script, the scripted user, the resource layouts, no records, leftAttached 0.
// Live panels and observers stay.
void ResetForTesting();

}  // namespace DG::Control
