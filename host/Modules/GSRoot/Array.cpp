// Storage of GS::Array, always taken from the host library's heap.
#include "Array.hpp"

#include <cstdlib>
#include <new>

namespace GS::Detail {

void* ArrayAllocate(std::size_t bytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void ArrayFree(void* block) {
    std::free(block);
}

}  // namespace GS::Detail
