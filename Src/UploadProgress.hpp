// The host's process window while the export uploads the view: a first phase while the connection is
// made, then a bar over the request body's bytes; its Cancel button stops the export.
#pragma once

#include "Definitions.hpp"
#include "UniString.hpp"

// Opens the window ("Export to KAVELO", two phases, the first "Connecting to KAVELO") and closes it when
// it goes, on every path. Its texts are loaded before the window opens, so a constructor that throws
// leaves no window behind. A host without a process window (its calls answer an error) shows nothing,
// and the export is then never canceled.
class UploadProgress {
public:
    UploadProgress();
    ~UploadProgress();
    UploadProgress(const UploadProgress&) = delete;
    UploadProgress& operator=(const UploadProgress&) = delete;

    // Starts the second phase, "Uploading the view", whose bar runs to `totalBytes`.
    void StartUpload(UInt64 totalBytes);
    // Shows that `sentBytes` have left, then asks the host whether the user canceled; true once they did.
    bool AdvanceTo(UInt64 sentBytes);
    // Asks the host whether the user canceled, without moving the bar; true once they did.
    bool IsCanceled();
    // Closes the window now (before a dialog or a report); later calls do nothing.
    void Close();

private:
    GS::UniString uploadPhase_;
    bool open_ = false;
    // The bar's values are 32-bit: a larger body is shown in units of 2^shift_ bytes.
    unsigned shift_ = 0;
};
