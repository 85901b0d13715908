// Growable arrays: a plain pointer to element 0, with a hidden header just before it
// in the same heap block. A null pointer is the empty array. Operations that may grow
// the array return the pointer to use from then on.
#pragma once

#include <cstdint>

struct ArrayHeader {
    std::int32_t length;
    std::int32_t capacity;
    std::int32_t heap_kind;  // 0: the standard heap
    std::uint32_t marker;
};

constexpr std::uint32_t ARRAY_MARKER = 0x51BADA7B;

// Inline: loops over the world's arrays test it on every step.
inline std::int32_t array_length(const void* a) {
    return a == nullptr ? 0 : (static_cast<const ArrayHeader*>(a) - 1)->length;
}
std::int32_t array_capacity(const void* a);
void* array_grow(void* a, std::int32_t size, std::int32_t min, std::int32_t n);
void* array_set_length(void* a, std::int32_t size, std::int32_t n);
void* array_add(void* a, std::int32_t size, std::int32_t k);
void* array_push(void* a, std::int32_t size);
// Releases an array (the game itself never does; a fresh game in the same process does).
void array_free(void* a);

// Typed conveniences over the above.
template <typename T>
void array_append(T*& a, const T& value) {
    a = static_cast<T*>(array_push(a, static_cast<std::int32_t>(sizeof(T))));
    a[array_length(a) - 1] = value;
}
