// The host's memory manager: every allocation the add-on makes on its heap goes through here.
#pragma once

#include <cstddef>

namespace GS {

class MemoryManager {
public:
    enum ExceptionBehaviour { ThrowGSMemoryFull, ReturnNullPointer };

    // Returns a block of at least `size` bytes, aligned for any fundamental type. When memory is exhausted
    // or a test has switched allocation failure on, returns nullptr (ReturnNullPointer) or throws
    // std::bad_alloc (ThrowGSMemoryFull). The caller owns the block and returns it with Free.
    static void* Allocate(std::size_t size, ExceptionBehaviour exc = ReturnNullPointer,
                          bool logFailure = true);
    // The same, aligned to `alignment` (a power of two); the block goes back with AlignedFree.
    static void* AlignedAllocate(std::size_t size, std::size_t alignment,
                                 ExceptionBehaviour exc = ReturnNullPointer, bool logFailure = true);
    // Returns a block from Allocate; nullptr is ignored.
    static void Free(void* memory);
    // Returns a block from AlignedAllocate; nullptr is ignored.
    static void AlignedFree(void* memory);
};

}  // namespace GS
