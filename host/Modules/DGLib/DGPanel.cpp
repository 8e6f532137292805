// Panels, modal dialogs with their modal loop, and palettes.
#include <stdexcept>
#include <string>

#include "DGException.hpp"
#include "DGImpl.hpp"
#include "DisposableControl.hpp"

namespace DG {

using Detail::Access;
using Detail::GetState;
using Detail::PanelImpl;

namespace {

constexpr unsigned short kModalKind = 4;
constexpr unsigned short kPaletteKind = 16;

RS::DialogLayout LoadLayout(GSResModule module, GSResID resId, bool palette) {
    const std::string name = std::to_string(resId);
    RS::DialogLayout layout;
    std::string error;
    const Control::LayoutSource& source = GetState().layoutSource;
    const bool loaded = source ? source(module, resId, &layout, &error)
                               : RS::LoadDialogLayout(module, resId, &layout, &error);
    if (!loaded)
        throw LayoutError("DG: dialog layout " + name +
                          " cannot be loaded: " + (error.empty() ? std::string("no reason given") : error));
    for (std::size_t i = 0; i < layout.items.size(); ++i) {
        if (layout.items[i].number != i + 1)
            throw LayoutError("DG: dialog layout " + name + " is damaged: item " + std::to_string(i + 1) +
                              " carries number " + std::to_string(layout.items[i].number));
    }
    const unsigned short wanted = palette ? kPaletteKind : kModalKind;
    if (layout.kind != wanted)
        throw LayoutError("DG: dialog layout " + name + " is of kind " + std::to_string(layout.kind) +
                          ", not " + std::to_string(wanted) + (palette ? " (palette)" : " (modal dialog)"));
    return layout;
}

Control::DialogRecord MakeRecord(const PanelImpl& panel) {
    Control::DialogRecord record;
    record.resId = panel.layout.id;
    record.title = panel.layout.title;
    for (const RS::DialogItem& item : panel.layout.items) {
        if (item.type == RS::ItemType::LeftText)
            record.texts.push_back(item.text);
        if (item.type == RS::ItemType::Button)
            record.buttons.push_back(item.text.empty() ? "icon " + std::to_string(item.iconId) : item.text);
    }
    return record;
}

Control::DialogRecord* FindRecord(std::uint64_t serial) {
    Detail::State& state = GetState();
    for (std::size_t i = 0; i < state.recordSerials.size(); ++i) {
        if (state.recordSerials[i] == serial)
            return &state.records[i];
    }
    return nullptr;
}

// Runs one user action on a running modal dialog.
void Perform(PanelImpl& panel, const Control::Action& action) {
    if (action.kind != Control::ActionKind::ClickItem) {
        if (Detail::DeliverCloseRequest(panel) && !panel.closePosted) {
            panel.closePosted = true;
            panel.response = ModalDialog::Cancel;
        }
        return;
    }
    if (!Detail::HasItem(panel, action.item))
        throw std::invalid_argument("DG: the user clicked item " + std::to_string(action.item) + ", which " +
                                    Detail::NameOf(panel) + " does not have");
    const RS::DialogItem& item = Detail::LayoutItem(panel, action.item);
    if (item.type != RS::ItemType::Button || !panel.itemEnabled[action.item - 1])
        return;
    Detail::DeliverClick(panel, action.item);
}

}  // namespace

LayoutError::LayoutError(const std::string& message) : std::runtime_error(message) {}
LayoutError::~LayoutError() = default;
ItemError::ItemError(const std::string& message) : std::runtime_error(message) {}
ItemError::~ItemError() = default;

PanelObserver::PanelObserver() {
    GetState().panelObservers.push_back(this);
}

PanelObserver::~PanelObserver() {
    Detail::State& state = GetState();
    for (Panel* panel : state.panels) {
        if (Detail::Remove(Access::Of(*panel).observers, this))
            ++state.leftAttached;
    }
    Detail::Remove(state.panelObservers, this);
}

void PanelObserver::PanelCloseRequested(const PanelCloseRequestEvent&, bool*) {}

Panel::Panel(GSResModule dialResModule, GSResID resId, GSResModule dialIconResModule, Kind kind)
    : impl_(nullptr) {
    const bool palette = kind == Kind::Palette;
    RS::DialogLayout layout = LoadLayout(dialResModule, resId, palette);
    impl_ = new PanelImpl;
    impl_->self = this;
    impl_->isPalette = palette;
    impl_->resModule = dialResModule;
    impl_->iconResModule = dialIconResModule;
    impl_->layout = std::move(layout);
    impl_->itemEnabled.assign(impl_->layout.items.size(), true);
    GetState().panels.push_back(this);
}

Panel::~Panel() {
    Detail::State& state = GetState();
    state.leftAttached += static_cast<std::int64_t>(impl_->observers.size());
    for (Item* item : impl_->items) Access::Of(*item).panel = nullptr;
    Detail::Remove(state.panels, this);
    delete impl_;
}

void Panel::Attach(PanelObserver& observer) {
    if (!Detail::Contains(impl_->observers, &observer))
        impl_->observers.push_back(&observer);
}

void Panel::Detach(PanelObserver& observer) {
    Detail::Remove(impl_->observers, &observer);
}

void Panel::DisableItems() {
    impl_->itemEnabled.assign(impl_->itemEnabled.size(), false);
}

void Panel::EnableItems() {
    impl_->itemEnabled.assign(impl_->itemEnabled.size(), true);
}

GSResID Panel::GetResourceId() const {
    return impl_->layout.id;
}

short Panel::GetItemCount() const {
    return static_cast<short>(impl_->layout.items.size());
}

ModalDialog::ModalDialog(GSResModule dialResModule, short resId, GSResModule dialIconResModule)
    : Panel(dialResModule, resId, dialIconResModule, Kind::Modal) {}

ModalDialog::~ModalDialog() = default;

bool ModalDialog::Invoke() {
    PanelImpl& panel = Access::Of(*this);
    if (panel.running)
        throw std::logic_error("DG: " + Detail::NameOf(panel) + " is already running");
    Detail::State& state = GetState();
    const std::uint64_t serial = state.nextRecordSerial++;
    state.records.push_back(MakeRecord(panel));
    state.recordSerials.push_back(serial);

    panel.running = true;
    panel.closePosted = false;
    panel.response = 0;
    auto abort = [&](const char* message) {
        panel.running = false;
        if (Control::DialogRecord* record = FindRecord(serial))
            record->error = message;
    };
    try {
        while (!panel.closePosted) {
            const Control::Action action = Detail::CurrentDriver().NextAction(Detail::ViewOf(panel));
            if (Control::DialogRecord* record = FindRecord(serial))
                record->actions.push_back(action);
            Perform(panel, action);
        }
    } catch (const std::exception& e) {
        abort(e.what());
        throw;
    } catch (...) {
        abort("an exception that is not a std::exception");
        throw;
    }
    panel.running = false;
    const bool result = panel.response == Accept;
    if (Control::DialogRecord* record = FindRecord(serial)) {
        record->finished = true;
        record->response = panel.response;
        record->result = result;
    }
    return result;
}

void ModalDialog::PostCloseRequest(ModalResponse response) {
    PanelImpl& panel = Access::Of(*this);
    if (!panel.running)
        throw std::logic_error("DG: close request for " + Detail::NameOf(panel) + ", which is not running");
    if (panel.closePosted)
        return;
    panel.closePosted = true;
    panel.response = response;
}

ModelessBase::ModelessBase(GSResModule dialResModule, GSResID resId, GSResModule dialIconResModule)
    : Panel(dialResModule, resId, dialIconResModule, Kind::Palette) {}

ModelessBase::~ModelessBase() = default;

// The kit's modeless windows begin event processing once after construction and end it once before their
// deletion; a second begin or end has no documented meaning, so the stand-in refuses it.
void ModelessBase::BeginEventProcessing() {
    PanelImpl& panel = Access::Of(*this);
    if (panel.processing)
        throw std::logic_error("DG: event processing of " + Detail::NameOf(panel) + " begun twice");
    panel.processing = true;
}

void ModelessBase::EndEventProcessing() {
    PanelImpl& panel = Access::Of(*this);
    if (!panel.processing)
        throw std::logic_error("DG: event processing of " + Detail::NameOf(panel) +
                               " ended while not begun (ended twice?)");
    panel.processing = false;
}

void ModelessBase::Show(short placement) {
    PanelImpl& panel = Access::Of(*this);
    panel.visible = true;
    panel.lastPlacement = placement;
    // The object is looked up by its start address, as the disposable part is another base of the
    // add-on's class, unknown to this library.
    GS::Control::RevokeDisposal(dynamic_cast<const void*>(this));
}

void ModelessBase::Hide() {
    Access::Of(*this).visible = false;
}

bool ModelessBase::IsVisible() const {
    return Access::Of(*this).visible;
}

Palette::Palette(GSResModule dialResModule, short resId, GSResModule dialIconResModule, const GS::Guid& guid)
    : ModelessBase(dialResModule, resId, dialIconResModule) {
    for (Panel* other : GetState().panels) {
        const PanelImpl& impl = Access::Of(*other);
        if (other != this && impl.isPalette && impl.guid == guid) {
            char text[GS::Guid::TextLength + 1];
            guid.ToText(text);
            throw std::logic_error(std::string("DG: a palette with guid ") + text + " exists already");
        }
    }
    Access::Of(*this).guid = guid;
}

Palette::~Palette() {
    const Detail::State& state = GetState();
    if (state.paletteDestroyed)
        state.paletteDestroyed(Access::Of(*this).guid);
}

GS::Guid Palette::GetGuid() const {
    return Access::Of(*this).guid;
}

}  // namespace DG
