// Host-side control of disposable objects: running a garbage collection and looking at what is marked. Used
// by the simulated host, the DG stand-in and tests; the add-on never uses this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DisposableObject.hpp"

namespace GS::Control {

// Runs one collection of `collector`: for each object marked for it, in marking order, tells the object's
// dispose handler (if any), then deletes the object, unless the handler deleted it or took back its mark.
// Objects marked during the run wait for the next one. Returns the number of objects deleted. An exception
// from a handler or a destructor ends the run and passes to the caller; the rest stay marked.
std::size_t RunGarbageCollection(GarbageCollector& collector = defaultGarbageCollector);

struct DisposableStats {
    std::int64_t live = 0;       // DisposableObjects constructed and not yet destroyed
    std::int64_t marked = 0;     // of those, marked as disposable
    std::int64_t collected = 0;  // deleted by a collection since the start of the process
};
DisposableStats GetDisposableStats();

// Whether the complete object that starts at `completeObject` (the address dynamic_cast<const void*> gives)
// has a DisposableObject part that is marked. Lets the host ask about a window without knowing its class.
bool IsMarkedForDisposal(const void* completeObject);
// Takes back the mark of the DisposableObject part of the complete object at `completeObject`, so the next
// collection leaves it alone. Returns whether a mark was taken back.
bool RevokeDisposal(const void* completeObject);

}  // namespace GS::Control
