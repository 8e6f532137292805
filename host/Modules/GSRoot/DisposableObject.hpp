// GS::DisposableObject: an object marked as disposable is handed to its collector, which, when the host
// runs it, tells the object's dispose handler and then deletes the object.
#pragma once

#include "DefaultGarbageCollector.hpp"
#include "DisposeHandler.hpp"
#include "GarbageCollector.hpp"

namespace GS {

// Base of objects that can be handed to a garbage collector. Marked objects are deleted by the collector
// through the virtual destructor, so they must live on the heap (allocated by their own module: the
// deleting destructor is theirs). Deleting an object directly, marked or not, is always allowed; it then
// leaves its collector. An object that is marked stays marked until it is collected or deleted, unless the
// host takes it back into use (a palette that is shown again, see DG::ModelessBase::Show).
class DisposableObject {
public:
    DisposableObject();
    DisposableObject(const DisposableObject&) = delete;
    DisposableObject& operator=(const DisposableObject&) = delete;
    virtual ~DisposableObject();

    void SetGarbageCollector(GarbageCollector& collector);
    void SetDisposeHandler(DisposeHandler& handler);
    // Hands the object to its collector for the next collection. Throws std::logic_error when no collector
    // has been set. Marking a marked object again changes nothing.
    void MarkAsDisposable();
    bool IsMarkedAsDisposable() const;
};

}  // namespace GS
