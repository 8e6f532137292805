// The host's memory manager: every allocation the add-on makes on its heap goes through here.
#pragma once

#include <cstddef>

namespace GS {

class MemoryManager {
public:
    // Returns a block of at least `bytes` bytes aligned to `alignment` (a power of two), or nullptr when
    // the memory is exhausted or a test has switched allocation failure on. The caller owns the block and
    // returns it with Free.
    static void* Allocate(std::size_t bytes, std::size_t alignment = alignof(std::max_align_t));
    // Returns a block from Allocate. nullptr is ignored.
    static void Free(void* block);
};

}  // namespace GS
