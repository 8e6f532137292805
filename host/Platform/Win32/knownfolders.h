// The one known folder the add-on asks for, for systems without the Windows API (host/Platform/Win32).
#pragma once

#include <windows.h>

// The user's roaming application-data folder ("AppData\Roaming" of the user's profile).
extern "C" const KNOWNFOLDERID FOLDERID_RoamingAppData;
