// ExportFromCurrentView, guarded as a whole: whatever it throws ends in the export's failure report, and
// what its steps return is reported here, once.
#include "ExportCommand.hpp"

#include <string>
#include <utility>

#include "Capture.hpp"
#include "EntryGuard.hpp"
#include "ErrorReporting.hpp"
#include "LinkFlow.hpp"
#include "LinkStore.hpp"
#include "Upload.hpp"

namespace {

// Nothing is sent without the whole picture. The upload takes the text over rather than a copy: the data
// URL is the largest thing an export holds.
Failure CaptureAndUpload(const std::string& linkId) {
    std::string dataUrl;
    if (const Failure failure = CaptureViewAsDataUrl(dataUrl); failure.code != NoError)
        return failure;
    return UploadImage(std::move(dataUrl), linkId.c_str());
}

void Export() {
    // The user's own identifier, read once: never one from the preferences record, which may have come
    // with someone else's project.
    std::string linkId;
    if (!LinkStore::Read(&linkId)) {
        LinkAccount();
        return;
    }
    ReportFailure(CaptureAndUpload(linkId));
}

}  // namespace

void ExportFromCurrentView() {
    Guarded(ExportFailure, Export);
}
