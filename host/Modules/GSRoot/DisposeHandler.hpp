// GS::DisposeHandler: told before the garbage collector deletes an object it was named for.
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

}  // namespace GS
