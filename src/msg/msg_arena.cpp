// CMsgArena: large blocks handed out in order.
#include "msg/msg_arena.h"

#include <sys/mman.h>

#include <atomic>
#include <new>

namespace {

// Blocks double from a size that a message of a few rows barely fills up to
// one that makes a large answer need few allocations.
const size_t kFirstBlock = 4 * 1024;
const size_t kLargestBlock = 2 * 1024 * 1024;

// Blocks this large are mapped from the system rather than taken from the
// heap: there the large blocks of one answer after another left holes the
// next answer could not use, and a process reading large answers grew by
// 6.5 to 8 times each answer's XML instead of 5.5. The leak checker sees
// only what the heap holds, so its builds keep every block there.
#if defined(__SANITIZE_ADDRESS__)
const size_t kMappedBlock = static_cast<size_t>(-1);
#else
const size_t kMappedBlock = kLargestBlock;
#endif

// Freed largest blocks, kept for the next answers of any thread (16 MB at
// most): mapping fresh memory costs a page fault per page it touches, and
// unmapping costs as much again. Slots taken and filled by atomic exchange,
// so no lock is held across a fork. Nothing to destroy at exit: a message
// may still be freed then.
class CBlockPool {
public:
    void* Take() {
        for (std::atomic<void*>& slot : m_Slots) {
            if (slot.load(std::memory_order_relaxed) != nullptr) {
                if (void* pBlock = slot.exchange(nullptr, std::memory_order_acq_rel))
                    return pBlock;
            }
        }
        return nullptr;
    }
    bool Keep(void* p_pBlock) {
        for (std::atomic<void*>& slot : m_Slots) {
            void* pEmpty = nullptr;
            if (slot.compare_exchange_strong(pEmpty, p_pBlock, std::memory_order_acq_rel))
                return true;
        }
        return false;
    }

private:
    std::atomic<void*> m_Slots[8] = {};
};

CBlockPool& BlockPool() {
    static CBlockPool s_Pool;
    return s_Pool;
}

void* NewBlock(size_t p_nSize) {
    if (p_nSize < kMappedBlock)
        return ::operator new(p_nSize, std::nothrow);
    if (p_nSize == kLargestBlock) {
        if (void* pKept = BlockPool().Take())
            return pKept;
    }
    void* pMemory = mmap(nullptr, p_nSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return pMemory == MAP_FAILED ? nullptr : pMemory;
}

void DeleteBlock(void* p_pMemory, size_t p_nSize) {
    if (p_nSize < kMappedBlock)
        ::operator delete(p_pMemory);
    else if (p_nSize != kLargestBlock || !BlockPool().Keep(p_pMemory))
        munmap(p_pMemory, p_nSize);
}

}  // namespace

struct CMsgArena::Block {
    Block* m_pNext;
    size_t m_nSize;
};

void CMsgArena::FreeBlock(Block* p_pBlock) {
    const size_t nSize = p_pBlock->m_nSize;
    VORANT_ARENA_UNPOISON(p_pBlock, nSize);
    DeleteBlock(p_pBlock, nSize);
}

void CMsgArena::DeleteChain(Block* p_pBlock) {
    while (p_pBlock) {
        Block* pNext = p_pBlock->m_pNext;
        FreeBlock(p_pBlock);
        p_pBlock = pNext;
    }
}

namespace {

// The block header padded so that what follows it has the strictest alignment.
const size_t kHeader = (sizeof(void*) + sizeof(size_t) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
                       alignof(std::max_align_t);

}  // namespace

CMsgArena::CMsgArena()
    : m_pBlocks(nullptr), m_pSpare(nullptr), m_pFree(nullptr), m_nLeft(0), m_nNextSize(kFirstBlock) {}

CMsgArena::~CMsgArena() {
    DeleteChain(m_pBlocks);
    DeleteChain(m_pSpare);
}

void CMsgArena::Reset() {
    // The blocks in use, the largest first, go before the kept ones that the
    // last parse did not reach (larger still), the smallest first.
    Block* pKept = m_pSpare;
    while (m_pBlocks) {
        Block* pNext = m_pBlocks->m_pNext;
        const size_t nSize = m_pBlocks->m_nSize;
        if (nSize < kLargestBlock) {
            // Poisoned whole while kept: what pointed into the last parse
            // stays caught.
            VORANT_ARENA_UNPOISON(m_pBlocks, nSize);
            VORANT_ARENA_POISON(reinterpret_cast<char*>(m_pBlocks) + sizeof(Block), nSize - sizeof(Block));
            m_pBlocks->m_pNext = pKept;
            pKept = m_pBlocks;
        } else {
            FreeBlock(m_pBlocks);
        }
        m_pBlocks = pNext;
    }
    m_pSpare = pKept;
    m_pFree = nullptr;
    m_nLeft = 0;
    m_nNextSize = kFirstBlock;
}

CMsgArena::Block* CMsgArena::TakeSpare(size_t p_nSize) {
    while (m_pSpare && m_pSpare->m_nSize < p_nSize) {
        Block* pNext = m_pSpare->m_pNext;
        FreeBlock(m_pSpare);
        m_pSpare = pNext;
    }
    if (!m_pSpare || m_pSpare->m_nSize != p_nSize)
        return nullptr;
    Block* pBlock = m_pSpare;
    m_pSpare = pBlock->m_pNext;
    VORANT_ARENA_UNPOISON(pBlock, p_nSize);
    return pBlock;
}

void* CMsgArena::AllocateInNewBlock(size_t p_nBytes) {
    static_assert(sizeof(Block) <= kHeader, "the header holds the block's links");
    if (p_nBytes > kLargestBlock)
        return nullptr;
    size_t nSize = m_nNextSize;
    while (nSize - kHeader < p_nBytes)
        nSize *= 2;
    void* pMemory = TakeSpare(nSize);
    if (!pMemory)
        pMemory = NewBlock(nSize);
    if (!pMemory)
        return nullptr;
    Block* pBlock = static_cast<Block*>(pMemory);
    pBlock->m_pNext = m_pBlocks;
    pBlock->m_nSize = nSize;
    m_pBlocks = pBlock;
    if (m_nNextSize < kLargestBlock)
        m_nNextSize *= 2;
    // The header keeps the start aligned for any place.
    char* pPlace = static_cast<char*>(pMemory) + kHeader;
    m_pFree = pPlace + p_nBytes;
    m_nLeft = nSize - kHeader - p_nBytes;
    return pPlace;
}
