// ExportFromCurrentView, guarded as a whole: whatever it throws ends in the export's failure report.
#include "ExportCommand.hpp"

#include <string>
#include <utility>

#include "Capture.hpp"
#include "EntryGuard.hpp"
#include "LinkFlow.hpp"
#include "Preferences.hpp"
#include "Upload.hpp"

namespace {

void Export() {
    if (!IsAccountLinked()) {
        LinkAccount();
        return;
    }
    const KaveloPrefs prefs = Preferences::GetPreferences();
    std::string dataUrl;
    if (!CaptureViewAsDataUrl(dataUrl))
        return;
    // A capture that failed has reported why; nothing is sent without the picture. The upload takes the
    // text over rather than a copy: the data URL is the largest thing an export holds.
    UploadImage(std::move(dataUrl), prefs.userUniqueID);
}

}  // namespace

void ExportFromCurrentView() {
    Guarded(ExportFailure, Export);
}
