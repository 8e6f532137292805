// UploadProgress: the export's process window over the host's ACAPI_ProcessWindow_* calls.
#include "UploadProgress.hpp"

#include <limits>

#include "ACAPinc.h"
#include "RS.hpp"
#include "ResourceIds.hpp"

namespace {

constexpr Int32 kTitleIndex = 1;
constexpr Int32 kUploadPhaseIndex = 2;
constexpr Int32 kConnectPhaseIndex = 3;
constexpr Int32 kPhases = 2;

GS::UniString ProgressText(Int32 index) {
    GS::UniString text;
    RSGetIndString(&text, KAVELO_STRS_EXPORT_PROGRESS, index, ACAPI_GetOwnResModule());
    return text;
}

}  // namespace

UploadProgress::UploadProgress() : uploadPhase_(ProgressText(kUploadPhaseIndex)) {
    // Everything that may throw comes before the window opens: after it, only host calls that answer codes.
    const GS::UniString title = ProgressText(kTitleIndex);
    const GS::UniString connectPhase = ProgressText(kConnectPhaseIndex);
    Int32 phases = kPhases;
    open_ = ACAPI_ProcessWindow_InitProcessWindow(&title, &phases) == NoError;
    if (!open_)
        return;
    // The connection has no measure of its own: its phase shows no bar.
    Int32 maximum = 0;
    ACAPI_ProcessWindow_SetNextProcessPhase(&connectPhase, &maximum);
}

UploadProgress::~UploadProgress() {
    Close();
}

void UploadProgress::StartUpload(UInt64 totalBytes) {
    while ((totalBytes >> shift_) > static_cast<UInt64>(std::numeric_limits<Int32>::max())) ++shift_;
    if (!open_)
        return;
    Int32 maximum = static_cast<Int32>(totalBytes >> shift_);
    ACAPI_ProcessWindow_SetNextProcessPhase(&uploadPhase_, &maximum);
}

bool UploadProgress::AdvanceTo(UInt64 sentBytes) {
    if (!open_)
        return false;
    Int32 value = static_cast<Int32>(sentBytes >> shift_);
    ACAPI_ProcessWindow_SetProcessValue(&value);
    return IsCanceled();
}

bool UploadProgress::IsCanceled() {
    return open_ && ACAPI_ProcessWindow_IsProcessCanceled() == APIERR_CANCEL;
}

void UploadProgress::Close() {
    if (!open_)
        return;
    open_ = false;
    ACAPI_ProcessWindow_CloseProcessWindow();
}
