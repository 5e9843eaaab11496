/* The module's memory: memset, memcpy and memmove as WebAssembly's memory.fill and memory.copy
 * (bulk memory, which every browser with the SIMD the module needs has), and a heap that keeps
 * what it has. The C library's own fill is a loop of 8-byte stores, three times slower than the
 * engine's, and its copy of 512 bytes or more is a call out to JavaScript: a level's planes are
 * filled and its rows copied on every load. Linked before the C library, so these are the ones
 * the module uses. */
#include <malloc.h>
#include <stddef.h>

/* A WebAssembly memory never shrinks, so handing the top of the heap back after each large
 * free (a level's planes, a picture) gains nothing and costs the next allocation its reuse. */
__attribute__((constructor)) static void KeepTheHeap(void) {
    (void)mallopt(M_TRIM_THRESHOLD, 0x7FFFFFFF);
}

void* memset(void* to, int value, size_t n) {
    __builtin_memset(to, value, n); /* memory.fill, not a call, with -mbulk-memory */
    return to;
}

void* memcpy(void* restrict to, const void* restrict from, size_t n) {
    __builtin_memcpy(to, from, n); /* memory.copy */
    return to;
}

void* memmove(void* to, const void* from, size_t n) {
    __builtin_memmove(to, from, n); /* memory.copy allows overlap */
    return to;
}
