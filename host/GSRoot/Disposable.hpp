// Disposable objects and the host's garbage collector: an object marked as disposable is handed to its
// collector, which, when the host runs it, tells the object's dispose handler and then deletes the object.
#pragma once

namespace GS {

class DisposableObject;

// Told by a garbage collection that `object` is about to be deleted. The handler must not delete the
// object itself (the collector does); if it does all the same, the collector notices and skips it.
class DisposeHandler {
public:
    DisposeHandler() = default;
    DisposeHandler(const DisposeHandler&) = delete;
    DisposeHandler& operator=(const DisposeHandler&) = delete;
    // Objects that still name this handler forget it: they are collected without a notification.
    virtual ~DisposeHandler();

    virtual void DisposeRequested(DisposableObject& object) = 0;
};

// A collector of disposable objects. Collections are run by the host (on its user-interface thread), never
// by the add-on. Destroying a collector leaves its objects without one.
class GarbageCollector {
public:
    GarbageCollector();
    GarbageCollector(const GarbageCollector&) = delete;
    GarbageCollector& operator=(const GarbageCollector&) = delete;
    ~GarbageCollector();
};

// The collector the host runs between user actions.
extern GarbageCollector defaultGarbageCollector;

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
