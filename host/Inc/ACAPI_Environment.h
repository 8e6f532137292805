// The host's environment functions the add-on calls.
#pragma once

#include "APICalls.h"
#include "APIdefs.h"

namespace IO {
class Location;
}

// Stores the folder `specFolderID` names into *location. The host's code on failure.
GSErrCode ACAPI_ProjectSettings_GetSpecFolder(API_SpecFolderID* specFolderID, IO::Location* location);
