// The add-on interface's records, codes and callback types.
#pragma once

#include "APICalls.h"
#include "API_Guid.hpp"
#include "APIdefs_Automate.h"
#include "APIdefs_Callback.h"
#include "APIdefs_Elements.h"
#include "APIdefs_Environment.h"
#include "APIdefs_ErrorCodes.h"
#include "APIdefs_Interface.h"
#include "APIdefs_Registration.h"
