// The DG stand-in's shared state, its user drivers (script and terminal) and its control interface.
#include "DGControl.hpp"

#include <cctype>
#include <istream>
#include <ostream>
#include <sstream>
#include <utility>

#include "DGImpl.hpp"
#include "DisposableControl.hpp"

namespace DG::Detail {

State& GetState() {
    // Never destroyed: panels of other modules may be destroyed during static destruction, after this
    // library's own statics are gone.
    static State* state = new State;
    return *state;
}

bool HasItem(const PanelImpl& panel, short number) {
    return number >= 1 && static_cast<std::size_t>(number) <= panel.layout.items.size();
}

const RS::DialogItem& LayoutItem(const PanelImpl& panel, short number) {
    return panel.layout.items[number - 1];
}

std::string NameOf(const PanelImpl& panel) {
    return std::string(panel.isPalette ? "palette " : "dialog ") + std::to_string(panel.layout.id) + " \"" +
           panel.layout.title + "\"";
}

Control::DialogView ViewOf(const PanelImpl& panel) {
    Control::DialogView view;
    view.resId = panel.layout.id;
    view.title = panel.layout.title;
    for (const RS::DialogItem& item : panel.layout.items) {
        Control::ItemView itemView;
        itemView.number = static_cast<short>(item.number);
        itemView.type = item.type;
        itemView.text = item.text;
        itemView.iconId = item.iconId;
        itemView.enabled = panel.itemEnabled[item.number - 1];
        view.items.push_back(itemView);
    }
    return view;
}

void DeliverClick(PanelImpl& panel, short number) {
    std::vector<Item*> bound;
    for (Item* item : panel.items) {
        if (Access::Of(*item).isButton && Access::Of(*item).number == number)
            bound.push_back(item);
    }
    // Observers may detach or destroy things while they are told, so each step checks again.
    for (Item* item : bound) {
        if (!Contains(GetState().items, item))
            continue;
        const std::vector<ButtonItemObserver*> observers = Access::Of(*item).observers;
        for (ButtonItemObserver* observer : observers) {
            if (!Contains(GetState().items, item) || !Contains(Access::Of(*item).observers, observer))
                continue;
            observer->ButtonClicked(ButtonClickEvent(static_cast<Button*>(item)));
        }
    }
}

bool DeliverCloseRequest(PanelImpl& panel) {
    const PanelCloseRequestEvent event(panel.self);
    bool accepted = true;
    const std::vector<PanelObserver*> observers = panel.observers;
    for (PanelObserver* observer : observers) {
        if (Contains(panel.observers, observer))
            observer->PanelCloseRequested(event, &accepted);
    }
    return accepted;
}

namespace {

class ScriptedUser : public Control::UserDriver {
public:
    Control::Action NextAction(const Control::DialogView& dialog) override {
        std::deque<Control::Action>& script = GetState().script;
        const std::string name = "dialog " + std::to_string(dialog.resId) + " \"" + dialog.title + "\"";
        if (script.empty())
            throw Control::ScriptError("DG: the user script has no action left for " + name);
        const Control::Action action = script.front();
        if (action.expectedDialog != 0 && action.expectedDialog != dialog.resId)
            throw Control::ScriptError("DG: the user script's next action (" + Control::Describe(action) +
                                       ") is meant for dialog " + std::to_string(action.expectedDialog) +
                                       ", but " + name + " is shown");
        script.pop_front();
        return action;
    }
};

class TerminalUser : public Control::UserDriver {
public:
    TerminalUser(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

    Control::Action NextAction(const Control::DialogView& dialog) override {
        Control::DrawDialog(dialog, out_);
        for (;;) {
            out_ << "Choose a button number, c for the close control or esc for the Esc key: " << std::flush;
            std::string line;
            if (!std::getline(in_, line))
                throw std::runtime_error("DG: the terminal input ended while dialog " +
                                         std::to_string(dialog.resId) + " \"" + dialog.title +
                                         "\" waited for the user");
            std::string choice = Trimmed(line);
            for (char& c : choice) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (choice == "c" || choice == "close")
                return Control::Action::CloseControl();
            if (choice == "esc")
                return Control::Action::EscapeKey();
            const short item = EnabledButton(dialog, choice);
            if (item != 0)
                return Control::Action::Click(item);
            out_ << "Not a choice: " << line << "\n";
        }
    }

private:
    static std::string Trimmed(const std::string& text) {
        const auto first = text.find_first_not_of(" \t\r");
        if (first == std::string::npos)
            return std::string();
        return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
    }

    // The number of the enabled push button named by `choice`, or 0.
    static short EnabledButton(const Control::DialogView& dialog, const std::string& choice) {
        for (const Control::ItemView& item : dialog.items) {
            if (item.type == RS::ItemType::Button && item.enabled && std::to_string(item.number) == choice)
                return item.number;
        }
        return 0;
    }

    std::istream& in_;
    std::ostream& out_;
};

}  // namespace

Control::UserDriver& CurrentDriver() {
    static ScriptedUser* scripted = new ScriptedUser;
    State& state = GetState();
    if (state.driver != nullptr)
        return *state.driver;
    if (state.terminal)
        return *state.terminal;
    return *scripted;
}

}  // namespace DG::Detail

namespace DG::Control {

using Detail::Access;
using Detail::GetState;
using Detail::PanelImpl;

void SetLayoutSourceForTesting(LayoutSource source) {
    GetState().layoutSource = std::move(source);
}

Action Action::Click(short item, GSResID expectedDialog) {
    return Action{ActionKind::ClickItem, item, expectedDialog};
}

Action Action::CloseControl(GSResID expectedDialog) {
    return Action{ActionKind::CloseControl, 0, expectedDialog};
}

Action Action::EscapeKey(GSResID expectedDialog) {
    return Action{ActionKind::EscapeKey, 0, expectedDialog};
}

std::string Describe(const Action& action) {
    switch (action.kind) {
        case ActionKind::ClickItem:
            return "click item " + std::to_string(action.item);
        case ActionKind::CloseControl:
            return "close control";
        case ActionKind::EscapeKey:
            return "Esc key";
    }
    return "unknown action";
}

bool operator==(const Action& a, const Action& b) {
    return a.kind == b.kind && a.item == b.item && a.expectedDialog == b.expectedDialog;
}

UserDriver::~UserDriver() = default;

ScriptError::ScriptError(const std::string& message) : std::runtime_error(message) {}
ScriptError::~ScriptError() = default;

void ScriptUserActions(const std::vector<Action>& actions) {
    for (const Action& action : actions) GetState().script.push_back(action);
}

void ClearUserScript() {
    GetState().script.clear();
}

std::size_t GetPendingUserActionCount() {
    return GetState().script.size();
}

void UseTerminalUser(std::istream& in, std::ostream& out) {
    GetState().driver = nullptr;
    GetState().terminal = std::make_unique<Detail::TerminalUser>(in, out);
}

void SetUserDriver(UserDriver* driver) {
    GetState().terminal.reset();
    GetState().driver = driver;
}

void UseScriptedUser() {
    SetUserDriver(nullptr);
}

namespace {

// Writes `text` indented, wrapped at word boundaries to lines of at most 76 columns of text.
void WriteWrapped(const std::string& text, std::ostream& out) {
    constexpr std::size_t kWidth = 76;
    std::istringstream words(text);
    std::string word;
    std::string line;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > kWidth) {
            out << "  " << line << "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty())
        out << "  " << line << "\n";
}

void WriteButtons(const std::vector<ItemView>& items, std::ostream& out) {
    std::string row;
    for (const ItemView& item : items) {
        if (item.type != RS::ItemType::Button)
            continue;
        const std::string label = item.text.empty() ? "icon " + std::to_string(item.iconId) : item.text;
        row += std::string(row.empty() ? "" : "   ") + "[" + std::to_string(item.number) + "] " + label +
               (item.enabled ? "" : " (disabled)");
    }
    out << "  " << row << "\n";
}

PanelImpl& PaletteByGuid(const GS::Guid& guid) {
    for (Panel* panel : GetState().panels) {
        PanelImpl& impl = Access::Of(*panel);
        if (impl.isPalette && impl.guid == guid)
            return impl;
    }
    char text[GS::Guid::TextLength + 1];
    guid.ToText(text);
    throw std::invalid_argument(std::string("DG: no palette with guid ") + text);
}

bool AllEnabled(const PanelImpl& panel) {
    for (bool enabled : panel.itemEnabled) {
        if (!enabled)
            return false;
    }
    return true;
}

PaletteState StateOf(const PanelImpl& panel) {
    PaletteState state;
    state.guid = panel.guid;
    state.resId = panel.layout.id;
    state.title = panel.layout.title;
    state.visible = panel.visible;
    state.processingEvents = panel.processing;
    state.docked = panel.docked;
    state.itemsEnabled = AllEnabled(panel);
    state.markedForDisposal = GS::Control::IsMarkedForDisposal(dynamic_cast<const void*>(panel.self));
    state.lastShowPlacement = panel.lastPlacement;
    return state;
}

}  // namespace

void DrawDialog(const DialogView& dialog, std::ostream& out) {
    out << "== " << dialog.title << " == (dialog " << dialog.resId << ")\n";
    for (const ItemView& item : dialog.items) {
        if (item.type == RS::ItemType::LeftText)
            WriteWrapped(item.text, out);
    }
    out << "  ----\n";
    WriteButtons(dialog.items, out);
}

std::vector<DialogRecord> GetShownDialogs() {
    return GetState().records;
}

void ClearShownDialogs() {
    GetState().records.clear();
    GetState().recordSerials.clear();
}

std::vector<PaletteState> GetPalettes() {
    std::vector<PaletteState> palettes;
    for (Panel* panel : GetState().panels) {
        const PanelImpl& impl = Access::Of(*panel);
        if (impl.isPalette)
            palettes.push_back(StateOf(impl));
    }
    return palettes;
}

void SetPaletteDestroyedListener(PaletteListener listener) {
    GetState().paletteDestroyed = std::move(listener);
}

bool ClickPaletteItem(const GS::Guid& guid, short item) {
    PanelImpl& panel = PaletteByGuid(guid);
    if (!Detail::HasItem(panel, item))
        throw std::invalid_argument("DG: item " + std::to_string(item) + " does not exist in " +
                                    Detail::NameOf(panel));
    if (!panel.visible || !panel.processing || !panel.itemEnabled[item - 1])
        return false;
    if (Detail::LayoutItem(panel, item).type != RS::ItemType::Button)
        return false;
    Detail::DeliverClick(panel, item);
    return true;
}

bool RequestPaletteClose(const GS::Guid& guid) {
    PanelImpl& panel = PaletteByGuid(guid);
    if (!panel.visible)
        return false;
    Detail::DeliverCloseRequest(panel);
    return true;
}

void DockPalette(const GS::Guid& guid, bool docked) {
    PaletteByGuid(guid).docked = docked;
}

void DrawPalette(const GS::Guid& guid, std::ostream& out) {
    const PanelImpl& panel = PaletteByGuid(guid);
    char text[GS::Guid::TextLength + 1];
    guid.ToText(text);
    out << "== " << panel.layout.title << " == (palette " << text << ": "
        << (panel.visible ? "visible" : "hidden") << ", "
        << (panel.processing ? "processing events" : "not processing events")
        << (panel.docked ? ", docked" : "") << (AllEnabled(panel) ? "" : ", items disabled") << ")\n";
    WriteButtons(Detail::ViewOf(panel).items, out);
}

ObserverStats GetObserverStats() {
    const Detail::State& state = GetState();
    ObserverStats stats;
    stats.livePanels = static_cast<std::int64_t>(state.panels.size());
    stats.liveItems = static_cast<std::int64_t>(state.items.size());
    stats.livePanelObservers = static_cast<std::int64_t>(state.panelObservers.size());
    stats.liveButtonObservers = static_cast<std::int64_t>(state.buttonObservers.size());
    stats.liveCompoundObservers = static_cast<std::int64_t>(state.compoundObservers.size());
    for (const Panel* panel : state.panels)
        stats.attachments += static_cast<std::int64_t>(Access::Of(*panel).observers.size());
    for (const Item* item : state.items)
        stats.attachments += static_cast<std::int64_t>(Access::Of(*item).observers.size());
    stats.leftAttached = state.leftAttached;
    return stats;
}

void ResetForTesting() {
    Detail::State& state = GetState();
    state.script.clear();
    state.driver = nullptr;
    state.terminal.reset();
    state.layoutSource = nullptr;
    ClearShownDialogs();
    state.leftAttached = 0;
}

}  // namespace DG::Control
