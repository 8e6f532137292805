// Dialog and DialogRealtime: button bindings, observer attachment and the "Open live" action. The dialog
// library calls the click handlers from its modal loop; they run guarded, so nothing thrown reaches it.
#include "Dialogs.hpp"

#include "ACAPinc.h"
#include "BrowserPages.hpp"
#include "EntryGuard.hpp"
#include "ErrorReporting.hpp"
#include "Preferences.hpp"
#include "ResourceIds.hpp"

Dialog::Dialog(short resourceId)
    : DG::ModalDialog(ACAPI_GetOwnResModule(), resourceId, ACAPI_GetOwnResModule()),
      button1(GetReference(), 1),
      button2(GetReference(), 2) {
    AttachToAllItems(*this);
    Attach(static_cast<DG::PanelObserver&>(*this));
}

Dialog::~Dialog() {
    Detach(static_cast<DG::PanelObserver&>(*this));
    DetachFromAllItems(*this);
}

void Dialog::ButtonClicked(const DG::ButtonClickEvent& ev) {
    Guarded(GeneralFailure, [&] {
        if (ev.GetSource() == &button1)
            PostCloseRequest(DG::ModalDialog::Accept);
        else if (ev.GetSource() == &button2)
            PostCloseRequest(DG::ModalDialog::Cancel);
    });
}

void Dialog::PanelCloseRequested(const DG::PanelCloseRequestEvent&, bool*) {}

DialogRealtime::DialogRealtime(GS::UniString imageId)
    : Dialog(KAVELO_DLG_EXPORTED_OPEN_LIVE), imageId(imageId) {}

DialogRealtime::~DialogRealtime() = default;

void DialogRealtime::ButtonClicked(const DG::ButtonClickEvent& ev) {
    if (ev.GetSource() != &button1) {
        Dialog::ButtonClicked(ev);
        return;
    }
    // "Open live" closes the dialog also when the page could not be opened, as after a browser that
    // does not start; the failure has been reported.
    Guarded(GeneralFailure, [this] {
        OpenInBrowser(LivePageUrl(imageId));
        if (const GSErrCode err = TouchLiveTabTimestamp(); err != NoError)
            ReportError("Error", err);
    });
    Dialog::ButtonClicked(ev);
}
