// vorant transport: zlib's one-shot compress and uncompress of packet
// bodies, on streams each thread keeps.
#ifndef VORANT_TRANSPORT_ZLIB_BODY_H
#define VORANT_TRANSPORT_ZLIB_BODY_H

#include <zlib.h>

// compress() and uncompress() set zlib's state up and free it on every
// call: about 260 KB for deflate, which glibc hands back to the system and
// faults in again on the next packet (a 4 KB body then costs about 0.7 ms
// instead of 25 us). These keep one deflate and one inflate stream per
// thread, reset for each body, ended when the thread ends; the bytes,
// lengths and result codes are those of compress() (default level) and
// uncompress(). Source lengths must stay below 4 GB.
int CompressBody(Bytef* p_pDest, uLongf* p_pDestLen, const Bytef* p_pSource, uLong p_uSourceLen);
int UncompressBody(Bytef* p_pDest, uLongf* p_pDestLen, const Bytef* p_pSource, uLong p_uSourceLen);

#endif  // VORANT_TRANSPORT_ZLIB_BODY_H
