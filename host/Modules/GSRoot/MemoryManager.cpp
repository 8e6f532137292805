// GS::MemoryManager with the accounting and allocation faults that the control interface exposes.
#include "MemoryManager.hpp"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "GSRootControl.hpp"

namespace {

// Every block carries a header in front of it: the block's size and the offset back to malloc's pointer.
struct BlockHeader {
    std::size_t bytes;
    std::size_t offset;
};

std::atomic<std::int64_t> liveBlocks{0};
std::atomic<std::int64_t> liveBytes{0};
std::atomic<std::int64_t> peakBytes{0};
std::atomic<std::int64_t> totalBlocks{0};
std::atomic<int> failSkip{0};
std::atomic<int> failCount{0};

bool ShouldFail() {
    if (failCount.load() <= 0)
        return false;
    if (failSkip.load() > 0) {
        --failSkip;
        return false;
    }
    --failCount;
    return true;
}

void NotePeak(std::int64_t now) {
    std::int64_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
}

// Allocate and AlignedAllocate share one block format, so Free and AlignedFree are the same here.
void* AllocateBlock(std::size_t bytes, std::size_t alignment) {
    if (alignment < alignof(std::max_align_t))
        alignment = alignof(std::max_align_t);
    if ((alignment & (alignment - 1)) != 0 || ShouldFail())
        return nullptr;
    const std::size_t front = (sizeof(BlockHeader) + alignment - 1) / alignment * alignment;
    if (bytes > SIZE_MAX - front)
        return nullptr;
    char* raw = static_cast<char*>(std::malloc(front + bytes));
    if (raw == nullptr)
        return nullptr;
    char* block = raw + front;
    BlockHeader header{bytes, front};
    std::memcpy(block - sizeof(BlockHeader), &header, sizeof header);
    ++liveBlocks;
    ++totalBlocks;
    NotePeak(liveBytes += static_cast<std::int64_t>(bytes));
    return block;
}

void* Answer(void* block, GS::MemoryManager::ExceptionBehaviour exc) {
    if (block == nullptr && exc == GS::MemoryManager::ThrowGSMemoryFull)
        throw std::bad_alloc();
    return block;
}

}  // namespace

namespace GS {

void* MemoryManager::Allocate(std::size_t size, ExceptionBehaviour exc, bool /*logFailure*/) {
    return Answer(AllocateBlock(size, alignof(std::max_align_t)), exc);
}

void* MemoryManager::AlignedAllocate(std::size_t size, std::size_t alignment, ExceptionBehaviour exc,
                                     bool /*logFailure*/) {
    return Answer(AllocateBlock(size, alignment), exc);
}

void MemoryManager::AlignedFree(void* memory) {
    Free(memory);
}

void MemoryManager::Free(void* block) {
    if (block == nullptr)
        return;
    BlockHeader header;
    std::memcpy(&header, static_cast<char*>(block) - sizeof(BlockHeader), sizeof header);
    --liveBlocks;
    liveBytes -= static_cast<std::int64_t>(header.bytes);
    std::free(static_cast<char*>(block) - header.offset);
}

namespace Control {

MemoryStats GetMemoryStats() {
    MemoryStats stats;
    stats.liveBlocks = liveBlocks.load();
    stats.liveBytes = liveBytes.load();
    stats.peakBytes = peakBytes.load();
    stats.totalBlocks = totalBlocks.load();
    return stats;
}

void ResetPeak() {
    peakBytes = liveBytes.load();
}

void FailAllocations(int count, int skip) {
    failSkip = skip;
    failCount = count;
}

int PendingAllocationFailures() {
    return failCount.load() > 0 ? failCount.load() : 0;
}

}  // namespace Control
}  // namespace GS
