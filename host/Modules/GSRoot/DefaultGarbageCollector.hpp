// GS::defaultGarbageCollector: the collector the host runs between user actions.
#pragma once

#include "GarbageCollector.hpp"

namespace GS {

extern GarbageCollector& defaultGarbageCollector;

}  // namespace GS
