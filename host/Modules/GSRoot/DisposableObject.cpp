// Disposable objects and garbage collection: one registry of live disposable objects in the host library.
#include "DisposableObject.hpp"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "DisposableControl.hpp"

namespace {

struct Entry {
    GS::GarbageCollector* collector = nullptr;
    GS::DisposeHandler* handler = nullptr;
    bool marked = false;
    std::uint64_t markSequence = 0;
    // Tells a new object apart from a deleted one that had the same address.
    std::uint64_t serial = 0;
};

struct Registry {
    std::unordered_map<const GS::DisposableObject*, Entry> objects;
    std::uint64_t nextSerial = 1;
    std::uint64_t nextMark = 1;
    std::int64_t collected = 0;
};

// Never destroyed: disposable objects of other modules may still be destroyed during static destruction,
// after this library's own statics are gone.
Registry& GetRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

Entry& EntryOf(const GS::DisposableObject* object) {
    auto it = GetRegistry().objects.find(object);
    if (it == GetRegistry().objects.end())
        throw std::logic_error("GS::DisposableObject: object is not alive");
    return it->second;
}

// The registry entry whose object starts its complete object at `completeObject`, or nullptr.
Entry* FindByCompleteObject(const void* completeObject) {
    for (auto& [object, entry] : GetRegistry().objects) {
        if (dynamic_cast<const void*>(object) == completeObject)
            return &entry;
    }
    return nullptr;
}

}  // namespace

namespace GS {

namespace {
GarbageCollector theDefaultGarbageCollector;
}
GarbageCollector& defaultGarbageCollector = theDefaultGarbageCollector;

DisposeHandler::~DisposeHandler() {
    for (auto& [object, entry] : GetRegistry().objects) {
        if (entry.handler == this)
            entry.handler = nullptr;
    }
}

GarbageCollector::GarbageCollector() = default;

GarbageCollector::~GarbageCollector() {
    for (auto& [object, entry] : GetRegistry().objects) {
        if (entry.collector == this)
            entry.collector = nullptr;
    }
}

DisposableObject::DisposableObject() {
    Registry& registry = GetRegistry();
    Entry entry;
    entry.serial = registry.nextSerial++;
    registry.objects[this] = entry;
}

DisposableObject::~DisposableObject() {
    GetRegistry().objects.erase(this);
}

void DisposableObject::SetGarbageCollector(GarbageCollector& collector) {
    EntryOf(this).collector = &collector;
}

void DisposableObject::SetDisposeHandler(DisposeHandler& handler) {
    EntryOf(this).handler = &handler;
}

void DisposableObject::MarkAsDisposable() {
    Entry& entry = EntryOf(this);
    if (entry.collector == nullptr)
        throw std::logic_error("GS::DisposableObject::MarkAsDisposable: no garbage collector set");
    if (entry.marked)
        return;
    entry.marked = true;
    entry.markSequence = GetRegistry().nextMark++;
}

bool DisposableObject::IsMarkedAsDisposable() const {
    return EntryOf(this).marked;
}

}  // namespace GS

namespace GS::Control {

std::size_t RunGarbageCollection(GarbageCollector& collector) {
    struct Candidate {
        DisposableObject* object;
        std::uint64_t serial;
        std::uint64_t markSequence;
    };
    Registry& registry = GetRegistry();
    std::vector<Candidate> candidates;
    for (auto& [object, entry] : registry.objects) {
        if (entry.marked && entry.collector == &collector)
            candidates.push_back({const_cast<DisposableObject*>(object), entry.serial, entry.markSequence});
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.markSequence < b.markSequence; });

    // Handlers and destructors may delete, mark or unmark objects, so each step looks the object up again.
    auto stillDue = [&](const Candidate& c) -> Entry* {
        auto it = registry.objects.find(c.object);
        if (it == registry.objects.end() || it->second.serial != c.serial || !it->second.marked ||
            it->second.collector != &collector)
            return nullptr;
        return &it->second;
    };
    std::size_t deleted = 0;
    for (const Candidate& c : candidates) {
        Entry* entry = stillDue(c);
        if (entry == nullptr)
            continue;
        if (entry->handler != nullptr)
            entry->handler->DisposeRequested(*c.object);
        if (stillDue(c) == nullptr)
            continue;
        delete c.object;
        ++registry.collected;
        ++deleted;
    }
    return deleted;
}

DisposableStats GetDisposableStats() {
    DisposableStats stats;
    for (const auto& [object, entry] : GetRegistry().objects) {
        ++stats.live;
        if (entry.marked)
            ++stats.marked;
    }
    stats.collected = GetRegistry().collected;
    return stats;
}

bool IsMarkedForDisposal(const void* completeObject) {
    const Entry* entry = FindByCompleteObject(completeObject);
    return entry != nullptr && entry->marked;
}

bool RevokeDisposal(const void* completeObject) {
    Entry* entry = FindByCompleteObject(completeObject);
    if (entry == nullptr || !entry->marked)
        return false;
    entry->marked = false;
    return true;
}

}  // namespace GS::Control
