// Items, buttons and the item observers.
#include <stdexcept>
#include <string>

#include "DGException.hpp"
#include "DGImpl.hpp"

namespace DG {

using Detail::Access;
using Detail::GetState;
using Detail::ItemImpl;

Item::Item(const Panel& panel, short item, bool isButton) : impl_(nullptr) {
    Detail::PanelImpl& owner = Access::Of(panel);
    if (!Detail::HasItem(owner, item))
        throw ItemError("DG: item " + std::to_string(item) + " does not exist in " + Detail::NameOf(owner) +
                        ", which has " + std::to_string(owner.layout.items.size()) + " items");
    impl_ = new ItemImpl;
    impl_->self = this;
    impl_->panel = owner.self;
    impl_->number = item;
    impl_->isButton = isButton;
    owner.items.push_back(this);
    GetState().items.push_back(this);
}

Item::~Item() {
    Detail::State& state = GetState();
    state.leftAttached += static_cast<std::int64_t>(impl_->observers.size());
    if (impl_->panel != nullptr)
        Detail::Remove(Access::Of(*impl_->panel).items, this);
    Detail::Remove(state.items, this);
    delete impl_;
}

short Item::GetId() const {
    return impl_->number;
}

Panel* Item::GetPanel() const {
    return impl_->panel;
}

namespace {

std::vector<bool>::reference EnabledFlag(ItemImpl& item) {
    if (item.panel == nullptr)
        throw std::logic_error("DG: item " + std::to_string(item.number) + " outlived its panel");
    return Access::Of(*item.panel).itemEnabled[item.number - 1];
}

}  // namespace

void Item::Enable() {
    EnabledFlag(*impl_) = true;
}

void Item::Disable() {
    EnabledFlag(*impl_) = false;
}

bool Item::IsEnabled() const {
    return impl_->panel != nullptr && EnabledFlag(*impl_);
}

ButtonItemObserver::ButtonItemObserver() {
    GetState().buttonObservers.push_back(this);
}

ButtonItemObserver::~ButtonItemObserver() {
    Detail::State& state = GetState();
    for (Item* item : state.items) {
        if (Detail::Remove(Access::Of(*item).observers, this))
            ++state.leftAttached;
    }
    Detail::Remove(state.buttonObservers, this);
}

void ButtonItemObserver::ButtonClicked(const ButtonClickEvent&) {}

Button::Button(const Panel& panel, short item) : Item(panel, item, true) {}

Button::~Button() = default;

void Button::Attach(ButtonItemObserver& observer) {
    std::vector<ButtonItemObserver*>& observers = Access::Of(*this).observers;
    if (!Detail::Contains(observers, &observer))
        observers.push_back(&observer);
}

void Button::Detach(ButtonItemObserver& observer) {
    Detail::Remove(Access::Of(*this).observers, &observer);
}

CompoundItemObserver::CompoundItemObserver() {
    GetState().compoundObservers.push_back(this);
}

CompoundItemObserver::~CompoundItemObserver() {
    Detail::Remove(GetState().compoundObservers, this);
}

namespace {

// The ButtonItemObserver parts of the complete object that `observer` belongs to. Found by the objects'
// start addresses (dynamic_cast<const void*> reads only the vtable's offset to the top), which needs no
// type information shared with the add-on's own C++ runtime.
std::vector<ButtonItemObserver*> ButtonObserversOf(const CompoundItemObserver* observer) {
    const void* whole = dynamic_cast<const void*>(observer);
    std::vector<ButtonItemObserver*> parts;
    for (ButtonItemObserver* candidate : GetState().buttonObservers) {
        if (dynamic_cast<const void*>(candidate) == whole)
            parts.push_back(candidate);
    }
    return parts;
}

}  // namespace

void CompoundItemObserver::AttachToAllItems(const Panel& panel) {
    const std::vector<ButtonItemObserver*> parts = ButtonObserversOf(this);
    for (Item* item : Access::Of(panel).items) {
        if (!Access::Of(*item).isButton)
            continue;
        for (ButtonItemObserver* part : parts) static_cast<Button*>(item)->Attach(*part);
    }
}

void CompoundItemObserver::DetachFromAllItems(const Panel& panel) {
    const std::vector<ButtonItemObserver*> parts = ButtonObserversOf(this);
    for (Item* item : Access::Of(panel).items) {
        if (!Access::Of(*item).isButton)
            continue;
        for (ButtonItemObserver* part : parts) static_cast<Button*>(item)->Detach(*part);
    }
}

}  // namespace DG
