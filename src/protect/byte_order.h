// Little-endian 32-bit words in byte buffers, whatever the host's order.
#ifndef VORANT_PROTECT_BYTE_ORDER_H
#define VORANT_PROTECT_BYTE_ORDER_H

#include <cstdint>

inline uint32_t LoadLe32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void StoreLe32(uint32_t p_v, unsigned char* p) {
    p[0] = static_cast<unsigned char>(p_v);
    p[1] = static_cast<unsigned char>(p_v >> 8);
    p[2] = static_cast<unsigned char>(p_v >> 16);
    p[3] = static_cast<unsigned char>(p_v >> 24);
}

#endif  // VORANT_PROTECT_BYTE_ORDER_H
