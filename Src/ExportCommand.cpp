// ExportFromCurrentView, guarded as a whole: whatever it throws ends in the export's failure report.
#include "ExportCommand.hpp"

#include <string>
#include <utility>

#include "Capture.hpp"
#include "EntryGuard.hpp"
#include "LinkFlow.hpp"
#include "LinkStore.hpp"
#include "Upload.hpp"

namespace {

void Export() {
    // The user's own identifier, read once: never one from the preferences record, which may have come
    // with someone else's project.
    std::string linkId;
    if (!LinkStore::Read(&linkId)) {
        LinkAccount();
        return;
    }
    std::string dataUrl;
    if (!CaptureViewAsDataUrl(dataUrl))
        return;
    // A capture that failed has reported why; nothing is sent without the picture. The upload takes the
    // text over rather than a copy: the data URL is the largest thing an export holds.
    UploadImage(std::move(dataUrl), linkId.c_str());
}

}  // namespace

void ExportFromCurrentView() {
    Guarded(ExportFailure, Export);
}
