// Modal dialogs and modeless palettes.
#pragma once

#include "DGPanel.hpp"
#include "GSGuid.hpp"

namespace DG {

class ModalDialog : public Panel {
public:
    enum ModalResponse { Accept = 1, Cancel = 2 };

    // Builds the dialog from layout `resId` (a modal layout, kind 4) of `dialResModule`. Throws LayoutError
    // when the layout is missing, damaged or not a modal dialog's.
    ModalDialog(GSResModule dialResModule, short resId, GSResModule dialIconResModule);
    ~ModalDialog() override;

    // Shows the dialog and runs the modal loop: takes the user's actions and delivers them to the observers
    // until a close request ends the loop. Returns true iff the dialog closed with Accept. Exceptions from
    // observers or from the user driver end the loop and pass to the caller. Invoking a dialog that is
    // already running throws std::logic_error.
    bool Invoke();
    // Ends the running modal loop with `response` once the current notification returns; the first
    // request stands. Throws std::logic_error when the dialog is not running.
    void PostCloseRequest(ModalResponse response);
};

// A window that lives beside the host's own, shown and hidden at will, and that delivers the user's actions
// only while it processes events.
class ModelessBase : public Panel {
public:
    ~ModelessBase() override;

    void BeginEventProcessing();
    void EndEventProcessing();
    // Shows the window; `placement` is the host's stacking hint, kept but not interpreted here. A window
    // whose object is marked as disposable (GS::DisposableObject) is in use again once shown: showing it
    // takes back the mark, so a garbage collection no longer deletes it.
    void Show(short placement);
    void Hide();
    bool IsVisible() const;

protected:
    ModelessBase(GSResModule dialResModule, GSResID resId, GSResModule dialIconResModule);
};

// A floating palette known to the host by its guid. At most one live palette per guid.
class Palette : public ModelessBase {
public:
    // Builds the palette from layout `resId` (a palette layout, kind 16). Throws LayoutError as ModalDialog
    // does, and std::logic_error when a palette with `guid` exists already. Starts hidden, not processing
    // events.
    Palette(GSResModule dialResModule, short resId, GSResModule dialIconResModule, const GS::Guid& guid);
    ~Palette() override;

    GS::Guid GetGuid() const;
};

}  // namespace DG
