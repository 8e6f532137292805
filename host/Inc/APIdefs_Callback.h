// The function types the host calls back: the menu handler, the palette callback, the termination hook.
#pragma once

#include "APICalls.h"
#include "APIdefs_Interface.h"
#include "Definitions.hpp"

struct API_MenuParams {
    API_MenuItemRef menuItemRef;
};

typedef GSErrCode APIMenuCommandProc(const API_MenuParams* menuParams);

// For APIPalMsg_IsPaletteVisible, `param` is a bool* that the add-on sets.
typedef GSErrCode APIPaletteControlCallBackProc(Int32 referenceID, API_PaletteMessageID messageID,
                                                GS::IntPtr param);

typedef void APIDllTermHookProc(void);
