// Block-manager handles over GS::MemoryManager, so handle memory is counted with the add-on's allocations.
#include "BM.hpp"

#include <atomic>
#include <cstring>

#include "GSRootControl.hpp"
#include "MemoryManager.hpp"

namespace {

// A handle points at the first member; the size travels with it.
struct HandleBlock {
    char* data;
    GSSize size;
};

// Uncleared blocks get this pattern, so a reader of bytes nobody wrote sees them as they would be in
// reused memory rather than as convenient zeros.
constexpr unsigned char kUnclearedFill = 0xA5;

std::atomic<bool> failNextHandle{false};

}  // namespace

GSHandle BMAllocateHandle(GSSize size, GSFlags flags, short actionCode) {
    if (size < 0 || actionCode != 0 || failNextHandle.exchange(false))
        return nullptr;
    auto* block = static_cast<HandleBlock*>(GS::MemoryManager::Allocate(sizeof(HandleBlock)));
    if (block == nullptr)
        return nullptr;
    block->data =
        static_cast<char*>(GS::MemoryManager::Allocate(size == 0 ? 1 : static_cast<std::size_t>(size)));
    if (block->data == nullptr) {
        GS::MemoryManager::Free(block);
        return nullptr;
    }
    block->size = size;
    std::memset(block->data, (flags & ALLOCATE_CLEAR) != 0 ? 0 : kUnclearedFill,
                static_cast<std::size_t>(size));
    return &block->data;
}

void BMKillHandle(GSHandle* handle) {
    if (handle == nullptr || *handle == nullptr)
        return;
    auto* block = reinterpret_cast<HandleBlock*>(*handle);
    GS::MemoryManager::Free(block->data);
    GS::MemoryManager::Free(block);
    *handle = nullptr;
}

GSSize BMGetHandleSize(GSHandle handle) {
    if (handle == nullptr)
        return 0;
    return reinterpret_cast<HandleBlock*>(handle)->size;
}

namespace GS::Control {
void FailNextHandleAllocation() {
    failNextHandle = true;
}
}  // namespace GS::Control
