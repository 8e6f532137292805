// The add-on's modal message dialogs, built from its own dialog resources. Each lives on its caller's
// stack for one modal run: construct, Invoke, read the result, destroy.
#pragma once

#include "DGModule.hpp"
#include "UniString.hpp"

// One class for every message layout: item 1 closes with response 1 (Invoke answers true), item 2 with
// response 2. In the one-button layouts item 2 is the separator, which never sends a click.
class Dialog : public DG::ModalDialog,
               public DG::PanelObserver,
               public DG::ButtonItemObserver,
               public DG::CompoundItemObserver {
public:
    // Throws when the layout is missing from the module's resources; the exception reaches the caller.
    explicit Dialog(short resourceId);
    ~Dialog() override;

protected:
    void ButtonClicked(const DG::ButtonClickEvent& ev) override;
    // The request stays as the dialog library made it: the close control and Esc refuse the dialog.
    void PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool* accepted) override;

    DG::Button button1;
    DG::Button button2;
};

// The export-succeeded dialog that offers "Open live": item 1 opens the live page for `imageId`, stamps
// the live-page time and accepts; item 2 closes without doing anything.
class DialogRealtime : public Dialog {
public:
    explicit DialogRealtime(GS::UniString imageId);
    ~DialogRealtime() override;

protected:
    void ButtonClicked(const DG::ButtonClickEvent& ev) override;

private:
    GS::UniString imageId;
};
