#include "util/array.h"

#include <cstdlib>

#include "util/fatal.h"

namespace {

ArrayHeader* header_of(const void* a) {
    return static_cast<ArrayHeader*>(const_cast<void*>(a)) - 1;
}

std::size_t block_size(std::int32_t size, std::int32_t capacity) {
    return sizeof(ArrayHeader) +
           static_cast<std::size_t>(size) * static_cast<std::size_t>(capacity);
}

}  // namespace

std::int32_t array_capacity(const void* a) {
    return a == nullptr ? 0 : header_of(a)->capacity;
}

void* array_grow(void* a, std::int32_t size, std::int32_t min, std::int32_t n) {
    ArrayHeader* header = nullptr;
    if (a == nullptr) {
        header = static_cast<ArrayHeader*>(std::malloc(block_size(size, min)));
        if (header == nullptr) {
            // Every caller writes into the new element at once; there is no way on.
            fatal_error("out of memory");
        }
        header->capacity = min;
        header->length = n;
        header->heap_kind = 0;
        header->marker = ARRAY_MARKER;
    } else {
        header = header_of(a);
        header->length = n;
        if (header->capacity < min) {
            std::int32_t capacity = min;
            if (header->capacity >= 4 && header->capacity * 2 > min) {
                capacity = header->capacity * 2;
            }
            auto* moved =
                static_cast<ArrayHeader*>(std::realloc(header, block_size(size, capacity)));
            if (moved == nullptr) {
                // The caller writes the new element at once, over the last one: that
                // would lose a branch or a leaf without a word.
                fatal_error("out of memory");
            }
            header = moved;
            header->capacity = capacity;
        }
    }
    if (header->length > header->capacity) {
        header->length = header->capacity;
    }
    return header + 1;
}

void* array_set_length(void* a, std::int32_t size, std::int32_t n) {
    if (a != nullptr && header_of(a)->capacity >= n) {
        header_of(a)->length = n;
        return a;
    }
    return array_grow(a, size, n, n);
}

void* array_add(void* a, std::int32_t size, std::int32_t k) {
    return array_set_length(a, size, array_length(a) + k);
}

void* array_push(void* a, std::int32_t size) {
    if (array_length(a) + 1 <= array_capacity(a)) {
        header_of(a)->length += 1;
        return a;
    }
    return array_add(a, size, 1);
}

void array_free(void* a) {
    if (a != nullptr) {
        std::free(header_of(a));
    }
}
