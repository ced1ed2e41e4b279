// CMsgArena: large blocks handed out in order.
#include "msg/msg_arena.h"

#include <new>

namespace {

// Blocks double from a size that a message of a few rows barely fills up to
// one that makes a large answer need few allocations.
const size_t kFirstBlock = 4 * 1024;
const size_t kLargestBlock = 2 * 1024 * 1024;

}  // namespace

struct CMsgArena::Block {
    Block* m_pNext;
    size_t m_nSize;
};

namespace {

// The block header padded so that what follows it has the strictest alignment.
const size_t kHeader = (sizeof(void*) + sizeof(size_t) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
                       alignof(std::max_align_t);

}  // namespace

CMsgArena::CMsgArena() : m_pBlocks(nullptr), m_pFree(nullptr), m_nLeft(0), m_nNextSize(kFirstBlock) {}

CMsgArena::~CMsgArena() {
    while (m_pBlocks) {
        Block* pNext = m_pBlocks->m_pNext;
        VORANT_ARENA_UNPOISON(m_pBlocks, m_pBlocks->m_nSize);
        ::operator delete(m_pBlocks);
        m_pBlocks = pNext;
    }
}

void* CMsgArena::AllocateInNewBlock(size_t p_nBytes) {
    static_assert(sizeof(Block) <= kHeader, "the header holds the block's links");
    if (p_nBytes > kLargestBlock)
        return nullptr;
    size_t nSize = m_nNextSize;
    while (nSize - kHeader < p_nBytes)
        nSize *= 2;
    void* pMemory = ::operator new(nSize, std::nothrow);
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
