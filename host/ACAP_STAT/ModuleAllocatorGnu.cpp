// The module's allocation operators for GCC, MinGW-w64 and clang on GCC's C++ runtime: every heap
// allocation of the module goes to the host's memory manager. The module links its own C++ runtime with
// hidden symbols, so these operators serve the module alone, the runtime's own allocations on its behalf
// included. (With Microsoft's compiler the host's GSRoot headers define the same operators inline.)
#include <cstddef>
#include <new>

#include "MemoryManager.hpp"

namespace {

void* AllocateOrNull(std::size_t bytes) {
    return GS::MemoryManager::Allocate(bytes == 0 ? 1 : bytes);
}

void* AllocateOrNull(std::size_t bytes, std::align_val_t alignment) {
    return GS::MemoryManager::AlignedAllocate(bytes == 0 ? 1 : bytes, static_cast<std::size_t>(alignment));
}

template <class... Alignment>
void* AllocateOrThrow(std::size_t bytes, Alignment... alignment) {
    void* block = AllocateOrNull(bytes, alignment...);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

}  // namespace

void* operator new(std::size_t bytes) {
    return AllocateOrThrow(bytes);
}
void* operator new[](std::size_t bytes) {
    return AllocateOrThrow(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return AllocateOrNull(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return AllocateOrNull(bytes);
}
void* operator new(std::size_t bytes, std::align_val_t alignment) {
    return AllocateOrThrow(bytes, alignment);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
    return AllocateOrThrow(bytes, alignment);
}
void* operator new(std::size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateOrNull(bytes, alignment);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateOrNull(bytes, alignment);
}

void operator delete(void* block) noexcept {
    GS::MemoryManager::Free(block);
}
void operator delete[](void* block) noexcept {
    GS::MemoryManager::Free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    GS::MemoryManager::Free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    GS::MemoryManager::Free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    GS::MemoryManager::Free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    GS::MemoryManager::Free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    GS::MemoryManager::AlignedFree(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    GS::MemoryManager::AlignedFree(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    GS::MemoryManager::AlignedFree(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    GS::MemoryManager::AlignedFree(block);
}

namespace __gnu_cxx {
void __freeres();
}

// The private runtime takes an emergency exception pool at load; hand it back when the module unloads.
__attribute__((destructor)) static void ReleaseRuntimePool() {
    __gnu_cxx::__freeres();
}
