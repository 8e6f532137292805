// The host's process window while the export uploads the view: its bar runs over the request body's
// bytes, and its Cancel button stops the upload.
#pragma once

#include "Definitions.hpp"

// Opens the window ("Export to KAVELO", one phase "Uploading the view" whose bar runs to `totalBytes`)
// and closes it when it goes, on every path. A host without a process window (its calls answer an
// error) shows nothing, and the upload is then never canceled.
class UploadProgress {
public:
    explicit UploadProgress(UInt64 totalBytes);
    ~UploadProgress();
    UploadProgress(const UploadProgress&) = delete;
    UploadProgress& operator=(const UploadProgress&) = delete;

    // Shows that `sentBytes` have left, then asks the host whether the user canceled; true once they did.
    bool AdvanceTo(UInt64 sentBytes);
    // Closes the window now (before a dialog or a report); later calls do nothing.
    void Close();

private:
    bool open_ = false;
    // The bar's values are 32-bit: a larger body is shown in units of 2^shift_ bytes.
    unsigned shift_ = 0;
};
