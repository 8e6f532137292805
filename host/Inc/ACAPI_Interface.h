// The host's user-interface functions the add-on calls: the process window, the host's progress bar with
// a Cancel button for a long operation.
#pragma once

#include "APICalls.h"
#include "APIdefs.h"

namespace GS {
class UniString;
}

// Opens the process window with the operation's title and its number of phases. APIERR_BADPARS when
// nPhase is null.
GSErrCode ACAPI_ProcessWindow_InitProcessWindow(const GS::UniString* title = nullptr, Int32* nPhase = nullptr,
                                                API_ProcessControlTypeID* processCntrolType = nullptr);
// Starts the next phase: its description and the bar's maximum.
GSErrCode ACAPI_ProcessWindow_SetNextProcessPhase(const GS::UniString* subtitle, Int32* maxval,
                                                  bool* showPercent = nullptr);
// Sets the bar's value in the current phase.
GSErrCode ACAPI_ProcessWindow_SetProcessValue(Int32* newval);
// Adds to the bar's value.
GSErrCode ACAPI_ProcessWindow_IncProcessValue(Int32* incval = nullptr);
// NoError while the operation goes on, APIERR_CANCEL once the user canceled it (the window's Cancel
// button or the keyboard).
GSErrCode ACAPI_ProcessWindow_IsProcessCanceled();
// Closes the window; always NoError.
GSErrCode ACAPI_ProcessWindow_CloseProcessWindow();
