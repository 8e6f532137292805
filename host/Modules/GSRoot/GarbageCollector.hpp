// GS::GarbageCollector: the collector that disposable objects are handed to.
#pragma once

namespace GS {

// A collector of disposable objects. Collections are run by the host (on its user-interface thread), never
// by the add-on. Destroying a collector leaves its objects without one.
class GarbageCollector {
public:
    GarbageCollector();
    GarbageCollector(const GarbageCollector&) = delete;
    GarbageCollector& operator=(const GarbageCollector&) = delete;
    ~GarbageCollector();
};

}  // namespace GS
