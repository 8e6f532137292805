// DG::Panel, the common base of dialogs and palettes, with its observer and events.
#pragma once

#include "RSTypes.hpp"

namespace DG {

class Panel;

namespace Detail {
struct PanelImpl;
struct Access;
}  // namespace Detail

class PanelEvent {
public:
    Panel* GetSource() const { return source_; }

protected:
    explicit PanelEvent(Panel* source) : source_(source) {}

private:
    Panel* source_;
};

// The user asked to close the panel with the window's close control or the Esc key.
class PanelCloseRequestEvent : public PanelEvent {
public:
    explicit PanelCloseRequestEvent(Panel* source) : PanelEvent(source) {}
};

// Receives notifications of the panels it is attached to. An observer destroyed while still attached is
// detached by its destructor (and counted by DG::Control as left attached).
class PanelObserver {
public:
    PanelObserver();
    PanelObserver(const PanelObserver&) = delete;
    PanelObserver& operator=(const PanelObserver&) = delete;
    virtual ~PanelObserver();

    // *accepted is true on entry. A modal dialog closes with ModalDialog::Cancel unless an observer sets it
    // to false; a palette does only what its observers do.
    virtual void PanelCloseRequested(const PanelCloseRequestEvent& ev, bool* accepted);
};

// A window built from a dialog layout of a module's resources. Items are numbered from 1 in layout order.
// Only the host's user-interface thread may use panels, items and observers.
class Panel {
public:
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;
    virtual ~Panel();

    // The panel that item objects (DG::Button) bind to.
    const Panel& GetReference() const { return *this; }

    // Attaching an attached observer, or detaching one that is not attached, changes nothing.
    void Attach(PanelObserver& observer);
    void Detach(PanelObserver& observer);

    void DisableItems();
    void EnableItems();

    GSResID GetResourceId() const;
    short GetItemCount() const;

protected:
    enum class Kind { Modal, Palette };
    // Loads layout `resId` from `dialResModule`; icons come from `dialIconResModule`. Throws LayoutError.
    Panel(GSResModule dialResModule, GSResID resId, GSResModule dialIconResModule, Kind kind);

private:
    friend struct Detail::Access;
    Detail::PanelImpl* impl_;
};

}  // namespace DG
