// The module's allocation operators: every heap allocation of the module goes to the host's memory
// manager. The module links its own C++ runtime with hidden symbols, so these operators serve the
// module alone, the runtime's own allocations on its behalf included.
#include <cstddef>
#include <new>

#include "MemoryManager.hpp"

namespace {

void* AllocateOrNull(std::size_t bytes, std::size_t alignment) {
    return GS::MemoryManager::Allocate(bytes == 0 ? 1 : bytes, alignment);
}

void* AllocateOrThrow(std::size_t bytes, std::size_t alignment) {
    void* block = AllocateOrNull(bytes, alignment);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

}  // namespace

void* operator new(std::size_t bytes) {
    return AllocateOrThrow(bytes, alignof(std::max_align_t));
}
void* operator new[](std::size_t bytes) {
    return AllocateOrThrow(bytes, alignof(std::max_align_t));
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return AllocateOrNull(bytes, alignof(std::max_align_t));
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return AllocateOrNull(bytes, alignof(std::max_align_t));
}
void* operator new(std::size_t bytes, std::align_val_t alignment) {
    return AllocateOrThrow(bytes, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
    return AllocateOrThrow(bytes, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateOrNull(bytes, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateOrNull(bytes, static_cast<std::size_t>(alignment));
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
    GS::MemoryManager::Free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    GS::MemoryManager::Free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    GS::MemoryManager::Free(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    GS::MemoryManager::Free(block);
}

namespace __gnu_cxx {
void __freeres();
}

// The private runtime takes an emergency exception pool at load; hand it back when the module unloads.
__attribute__((destructor)) static void ReleaseRuntimePool() {
    __gnu_cxx::__freeres();
}
