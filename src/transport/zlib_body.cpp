#include "transport/zlib_body.h"

#include <cstring>

namespace {

// The calling thread's streams, set up on first use. Owns the zlib state of
// both; a stream whose set-up failed is tried again on the next body.
class CThreadStreams {
public:
    CThreadStreams() {
        std::memset(&m_Deflate, 0, sizeof m_Deflate);
        std::memset(&m_Inflate, 0, sizeof m_Inflate);
    }
    ~CThreadStreams() {
        if (m_bDeflate)
            deflateEnd(&m_Deflate);
        if (m_bInflate)
            inflateEnd(&m_Inflate);
    }
    CThreadStreams(const CThreadStreams&) = delete;
    CThreadStreams& operator=(const CThreadStreams&) = delete;

    // A deflate stream in its freshly initialised state, or a zlib error.
    int Deflater(z_stream** p_ppStream) {
        const int iResult = m_bDeflate ? deflateReset(&m_Deflate) : deflateInit(&m_Deflate, Z_DEFAULT_COMPRESSION);
        m_bDeflate = m_bDeflate || iResult == Z_OK;
        *p_ppStream = &m_Deflate;
        return iResult;
    }
    int Inflater(z_stream** p_ppStream) {
        const int iResult = m_bInflate ? inflateReset(&m_Inflate) : inflateInit(&m_Inflate);
        m_bInflate = m_bInflate || iResult == Z_OK;
        *p_ppStream = &m_Inflate;
        return iResult;
    }

private:
    z_stream m_Deflate;
    z_stream m_Inflate;
    bool m_bDeflate = false;
    bool m_bInflate = false;
};

thread_local CThreadStreams t_Streams;

}  // namespace

// compress2's loop for a source below 4 GB: all input and output in one go.
int CompressBody(Bytef* p_pDest, uLongf* p_pDestLen, const Bytef* p_pSource, uLong p_uSourceLen) {
    z_stream* pStream = nullptr;
    int iResult = t_Streams.Deflater(&pStream);
    if (iResult != Z_OK)
        return iResult;
    pStream->next_in = const_cast<Bytef*>(p_pSource);
    pStream->avail_in = static_cast<uInt>(p_uSourceLen);
    pStream->next_out = p_pDest;
    pStream->avail_out = static_cast<uInt>(*p_pDestLen);
    do {
        iResult = deflate(pStream, Z_FINISH);
    } while (iResult == Z_OK);
    *p_pDestLen = pStream->total_out;
    return iResult == Z_STREAM_END ? Z_OK : iResult;
}

// uncompress2's loop and result mapping for a source below 4 GB.
int UncompressBody(Bytef* p_pDest, uLongf* p_pDestLen, const Bytef* p_pSource, uLong p_uSourceLen) {
    z_stream* pStream = nullptr;
    int iResult = t_Streams.Inflater(&pStream);
    if (iResult != Z_OK)
        return iResult;
    // A zero-length destination still tells a complete empty stream from
    // one that has data or is cut short.
    Bytef scratch[1];
    Bytef* pDest = p_pDest;
    uLong uLeft = *p_pDestLen;
    if (uLeft != 0) {
        *p_pDestLen = 0;
    } else {
        uLeft = 1;
        pDest = scratch;
    }
    pStream->next_in = const_cast<Bytef*>(p_pSource);
    pStream->avail_in = static_cast<uInt>(p_uSourceLen);
    pStream->next_out = pDest;
    pStream->avail_out = static_cast<uInt>(uLeft);
    uLeft = 0;
    do {
        iResult = inflate(pStream, Z_NO_FLUSH);
    } while (iResult == Z_OK);
    if (pDest != scratch)
        *p_pDestLen = pStream->total_out;
    else if (pStream->total_out != 0 && iResult == Z_BUF_ERROR)
        uLeft = 1;
    if (iResult == Z_STREAM_END)
        return Z_OK;
    if (iResult == Z_NEED_DICT)
        return Z_DATA_ERROR;
    if (iResult == Z_BUF_ERROR && uLeft + pStream->avail_out != 0)
        return Z_DATA_ERROR;
    return iResult;
}
