// A file's bytes as read into memory, without zeroing them first.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace folivex {

// An allocator whose vectors leave new bytes uninitialised on resize: a
// file's bytes are read straight over them, so zeroing them first would
// only cost time.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// A file's bytes on their way to becoming a blob.
using FileBytes = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

}  // namespace folivex
