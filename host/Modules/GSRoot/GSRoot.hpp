// GSRoot's umbrella: the basic types and the debug print. Strings, arrays and the rest have their own
// headers.
#pragma once

#include "Definitions.hpp"
#include "GSDebug.hpp"
