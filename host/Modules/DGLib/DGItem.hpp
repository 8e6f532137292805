// Dialog items bound to item numbers of a panel, and the observer that attaches to all items of a panel.
#pragma once

#include "DGPanel.hpp"

namespace DG {

namespace Detail {
struct ItemImpl;
}  // namespace Detail

// An object bound to item `item` of a panel. Several objects may be bound to the same item. An item
// whose panel has been destroyed is disabled and has no panel.
class Item {
public:
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;
    virtual ~Item();

    short GetId() const;
    Panel* GetPanel() const;

    // Throw std::logic_error once the panel is gone.
    void Enable();
    void Disable();
    bool IsEnabled() const;

protected:
    // Throws ItemError when `item` is not an item number of the panel's layout.
    Item(const Panel& panel, short item, bool isButton);

private:
    friend struct Detail::Access;
    Detail::ItemImpl* impl_;
};

// Attaches the item observer interfaces that this object also implements (DG::ButtonItemObserver) to
// every item object bound to a panel. The object must be fully constructed when it calls these.
class CompoundItemObserver {
public:
    CompoundItemObserver();
    CompoundItemObserver(const CompoundItemObserver&) = delete;
    CompoundItemObserver& operator=(const CompoundItemObserver&) = delete;
    virtual ~CompoundItemObserver();

    void AttachToAllItems(const Panel& panel);
    void DetachFromAllItems(const Panel& panel);
};

}  // namespace DG
