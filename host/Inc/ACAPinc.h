// The add-on interface: the four entry points the add-on defines, and, for an add-on build (ACExtension
// defined), the functions it calls. The stand-in of the host's static add-on library (host/ACAP_STAT)
// defines the functions, each over the host's function table.
#pragma once

#include "ACAPI_Automate.h"
#include "ACAPI_Environment.h"
#include "ACAPI_Interface.h"
#include "APICalls.h"
#include "API_Guid.hpp"
#include "APIdefs.h"
#include "GSRoot.hpp"
#include "RSTypes.hpp"
#include "UniString.hpp"

#if defined(_MSC_VER)
#pragma pack(push, 8)
#endif

namespace IO {
class Location;
}

#define ServerMainVers_2700 0x001B
#define ServerMainVers_2800 0x001C

// Defined by the add-on; the host calls them through the add-on library.
extern "C" {
API_AddonType CheckEnvironment(API_EnvirParams* envirParams);
GSErrCode RegisterInterface(void);
GSErrCode Initialize(void);
GSErrCode FreeData(void);
}

#if defined(ACExtension)

// Each function answers APIERR_NOTSUPPORTED when the host does not serve it, otherwise the host's code.

GSErrCode ACAPI_MenuItem_RegisterMenu(short menuStrResID, short promptStrResID, APIMenuCodeID menuPosCode,
                                      GSFlags menuFlags);
GSErrCode ACAPI_MenuItem_InstallMenuHandler(short menuStrResID, APIMenuCommandProc* handlerProc);

// Stores `nByte` bytes at `data` as the add-on's preferences of `version`; (0, 0, nullptr) deletes them.
GSErrCode ACAPI_SetPreferences(Int32 version, GSSize nByte, const void* data);
// With data null, reports the stored version (0 = nothing stored) and size; otherwise copies the bytes.
GSErrCode ACAPI_GetPreferences(Int32* version, GSSize* nByte, void* data);

GSErrCode ACAPI_RegisterModelessWindow(Int32 referenceID, APIPaletteControlCallBackProc* callBackProc,
                                       GSFlags controlFlags, const API_Guid& paletteGuid = APINULLGuid);
GSErrCode ACAPI_UnregisterModelessWindow(Int32 referenceID);

// The host formats `format` printf-style with the further arguments and shows it: in an alert window with
// withDial, in the Report window without. Nothing happens when the host offers no report output.
void ACAPI_WriteReport(const GS::UniString& format, bool withDial, ...);

// The add-on's own resources, opened by the add-on library when the module was loaded.
GSResModule ACAPI_GetOwnResModule(void);
// The add-on's own file. APIERR_NOTINIT while it is not known yet.
GSErrCode ACAPI_GetOwnLocation(IO::Location* ownFileLoc);
// `dllTermHookProc` is called when the module is unloaded, after its resources are closed.
void ACAPI_SetDllTermHookProc(APIDllTermHookProc* dllTermHookProc);

#endif

#if defined(_MSC_VER)
#pragma pack(pop)
#endif
