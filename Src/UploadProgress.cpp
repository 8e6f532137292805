// UploadProgress: the export's process window over the host's ACAPI_ProcessWindow_* calls.
#include "UploadProgress.hpp"

#include <limits>

#include "ACAPinc.h"
#include "RS.hpp"
#include "ResourceIds.hpp"

namespace {

constexpr Int32 kTitleIndex = 1;
constexpr Int32 kUploadPhaseIndex = 2;

GS::UniString ProgressText(Int32 index) {
    GS::UniString text;
    RSGetIndString(&text, KAVELO_STRS_EXPORT_PROGRESS, index, ACAPI_GetOwnResModule());
    return text;
}

}  // namespace

UploadProgress::UploadProgress(UInt64 totalBytes) {
    while ((totalBytes >> shift_) > static_cast<UInt64>(std::numeric_limits<Int32>::max())) ++shift_;
    const GS::UniString title = ProgressText(kTitleIndex);
    Int32 phases = 1;
    open_ = ACAPI_ProcessWindow_InitProcessWindow(&title, &phases) == NoError;
    if (!open_)
        return;
    const GS::UniString phase = ProgressText(kUploadPhaseIndex);
    Int32 maximum = static_cast<Int32>(totalBytes >> shift_);
    ACAPI_ProcessWindow_SetNextProcessPhase(&phase, &maximum);
}

UploadProgress::~UploadProgress() {
    Close();
}

bool UploadProgress::AdvanceTo(UInt64 sentBytes) {
    if (!open_)
        return false;
    Int32 value = static_cast<Int32>(sentBytes >> shift_);
    ACAPI_ProcessWindow_SetProcessValue(&value);
    return ACAPI_ProcessWindow_IsProcessCanceled() == APIERR_CANCEL;
}

void UploadProgress::Close() {
    if (!open_)
        return;
    open_ = false;
    ACAPI_ProcessWindow_CloseProcessWindow();
}
