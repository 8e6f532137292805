// Control of the GSRoot stand-in for the simulated host and tests: allocation accounting, allocation
// faults and where debug lines go. The add-on never uses this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace GS::Control {

struct MemoryStats {
    std::int64_t liveBlocks = 0;   // blocks allocated and not yet freed
    std::int64_t liveBytes = 0;    // bytes in those blocks
    std::int64_t peakBytes = 0;    // largest liveBytes since the last ResetPeak
    std::int64_t totalBlocks = 0;  // blocks ever allocated
};

// Counts of GS::MemoryManager (which also serves BMAllocateHandle).
MemoryStats GetMemoryStats();
void ResetPeak();

// Makes the next `count` calls of GS::MemoryManager::Allocate fail after `skip` successful ones.
void FailAllocations(int count, int skip = 0);
// How many of the failures FailAllocations asked for have not happened yet.
int PendingAllocationFailures();
// Makes the next BMAllocateHandle fail (return nullptr).
void FailNextHandleAllocation();

// Receives every DBPrintf line, already formatted. An empty function restores the default (stderr).
using DebugSink = std::function<void(const std::string& text)>;
void SetDebugSink(DebugSink sink);

}  // namespace GS::Control
