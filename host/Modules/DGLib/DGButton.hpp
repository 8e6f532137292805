// Push buttons, their click event and observer.
#pragma once

#include "DGItem.hpp"

namespace DG {

class Button;

class ButtonClickEvent {
public:
    explicit ButtonClickEvent(Button* source) : source_(source) {}
    Button* GetSource() const { return source_; }

private:
    Button* source_;
};

// Receives clicks of the buttons it is attached to. An observer destroyed while still attached is
// detached by its destructor (and counted by DG::Control as left attached).
class ButtonItemObserver {
public:
    ButtonItemObserver();
    ButtonItemObserver(const ButtonItemObserver&) = delete;
    ButtonItemObserver& operator=(const ButtonItemObserver&) = delete;
    virtual ~ButtonItemObserver();

    virtual void ButtonClicked(const ButtonClickEvent& ev);
};

// A button object bound to an item of a panel. It may be bound to an item that is not a push button
// (a separator or a text); such a binding is valid and simply never reports a click.
class Button : public Item {
public:
    // Throws ItemError when `item` is not an item number of the panel's layout.
    Button(const Panel& panel, short item);
    ~Button() override;

    // Attaching an attached observer, or detaching one that is not attached, changes nothing.
    void Attach(ButtonItemObserver& observer);
    void Detach(ButtonItemObserver& observer);
};

}  // namespace DG
