// Everything of GSRoot that the add-on uses.
#pragma once

#include "Array.hpp"
#include "BM.hpp"
#include "DBPrintf.hpp"
#include "Disposable.hpp"
#include "GSTypes.hpp"
#include "Guid.hpp"
#include "MemoryManager.hpp"
#include "UniString.hpp"
