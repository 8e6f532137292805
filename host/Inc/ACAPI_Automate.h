// The host's automation functions the add-on calls.
#pragma once

#include "APICalls.h"
#include "APIdefs.h"

// Saves the current view as a picture into fileSavePars->file, in the format fileSavePars->fileTypeID
// names. APIERR_REFUSEDCMD when the host refuses (called from a notification, or a demo version),
// APIERR_READONLY, or another host code on failure.
GSErrCode ACAPI_ProjectOperation_Save(const API_FileSavePars* fileSavePars,
                                      const API_SavePars_Picture* formatPars);
