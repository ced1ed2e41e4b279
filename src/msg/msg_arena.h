// The blocks one parse places sub-messages, value tables and bags in.
#ifndef VORANT_MSG_MSG_ARENA_H
#define VORANT_MSG_MSG_ARENA_H

#include <cstddef>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
// What was destroyed in an arena stays unreadable until the arena dies, so
// that the address sanitizer sees a use after it as it would after a free.
#define VORANT_ARENA_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define VORANT_ARENA_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define VORANT_ARENA_POISON(p, n) ((void)(p), (void)(n))
#define VORANT_ARENA_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

// Hands out memory from large blocks in order and frees the blocks together:
// a parsed row costs no allocation of its own. Owned by the top message
// being filled, which destroys what it placed here before emptying or
// freeing the arena. Used by that message's thread only. Its largest blocks
// (2 MB) are mapped from the system, not the heap, and up to eight freed
// ones are kept for the next arenas of any thread; Reset keeps the smaller
// ones (2 MB at most) for the next parse into the same message.
class CMsgArena {
public:
    CMsgArena();
    ~CMsgArena();
    CMsgArena(const CMsgArena&) = delete;
    CMsgArena& operator=(const CMsgArena&) = delete;

    // p_nBytes aligned to p_nAlign (a power of two, at most that of
    // std::max_align_t), valid until the arena dies; null when memory runs out.
    void* Allocate(size_t p_nBytes, size_t p_nAlign) {
        // Rows take several places each: the common case stays inline.
        size_t nPad = static_cast<size_t>(-reinterpret_cast<uintptr_t>(m_pFree)) & (p_nAlign - 1);
        if (m_pFree && nPad <= m_nLeft && p_nBytes <= m_nLeft - nPad) {
            void* pPlace = m_pFree + nPad;
            m_pFree += nPad + p_nBytes;
            m_nLeft -= nPad + p_nBytes;
            return pPlace;
        }
        return AllocateInNewBlock(p_nBytes);
    }

    // Forgets every place handed out; what was placed here must be destroyed
    // already.
    void Reset();

private:
    struct Block;

    // Starts a block that holds at least p_nBytes and takes them from its start.
    void* AllocateInNewBlock(size_t p_nBytes);
    // The kept block of p_nSize bytes, or null; drops smaller kept ones,
    // which the growing sizes would never reach again.
    Block* TakeSpare(size_t p_nSize);
    // Gives one block back (to the pool, the heap or the system).
    static void FreeBlock(Block* p_pBlock);
    static void DeleteChain(Block* p_pBlock);

    Block* m_pBlocks;  // the newest first
    Block* m_pSpare;   // kept by Reset, the smallest first
    char* m_pFree;
    size_t m_nLeft;
    size_t m_nNextSize;
};

#endif  // VORANT_MSG_MSG_ARENA_H
