// vorant transport: a compressed packet body inflated piece by piece for a
// reader that pulls it (a parser), so that the whole body never needs to be
// held uncompressed.
#ifndef VORANT_TRANSPORT_INFLATING_BODY_H
#define VORANT_TRANSPORT_INFLATING_BODY_H

#include <zlib.h>

#include <cstddef>
#include <string>

// Inflates the wire body of one compressed packet on demand. The outcome is
// the one DecodeBody reports for the same bytes inflated whole into a buffer
// of the header's uncompressed length: the same zlib result and the same
// count of bytes in "ReceiveFrom(%d)(%ld)" (a body longer than that length
// fails as it does there). Reads the caller's wire bytes in place; they must
// outlive this object. Owns its zlib stream; one thread at a time.
class CInflatingBody {
public:
    // p_iWire bytes at p_pWire; p_iCeiling is the header's uncompressed length.
    CInflatingBody(const char* p_pWire, int p_iWire, int p_iCeiling);
    ~CInflatingBody();
    CInflatingBody(const CInflatingBody&) = delete;
    CInflatingBody& operator=(const CInflatingBody&) = delete;

    // Up to p_nMax inflated bytes into p_pBuffer; 0 once the body has ended
    // or failed.
    size_t Read(char* p_pBuffer, size_t p_nMax);

    // Inflates what nobody read (and drops it), so that a body the reader
    // stopped early is still checked whole. 0, or ADAPTOR_COMPRESSION with
    // "ReceiveFrom(%d)(%ld)" in *p_pDetails.
    int Finish(std::string* p_pDetails);

    // Inflated bytes so far.
    unsigned long Produced() const { return m_uProduced; }

private:
    // One inflate step into p_pOut (p_nRoom bytes, within the ceiling);
    // the bytes it wrote.
    size_t Step(Bytef* p_pOut, size_t p_nRoom);
    void End(int p_iResult);

    z_stream m_Stream;
    bool m_bStream = false;  // m_Stream is initialised
    unsigned long m_uCeiling;
    unsigned long m_uProduced = 0;
    bool m_bDone = false;
    int m_iResult = Z_OK;  // the whole body's zlib result once done
};

// Compressed bodies up to this inflated length are inflated into a buffer at
// once; larger ones are best kept as they came and read through
// CInflatingBody, so that the whole body is never held inflated.
const int INFLATE_WHOLE_UP_TO = 64 * 1024;

// Inflates the p_iWire bytes at p_pWire only to check them, keeping nothing:
// 0, or the ADAPTOR_COMPRESSION and details InflateBody gives for the same
// bytes. *p_pllInflated gets the length they inflate to.
int CheckInflates(const char* p_pWire, int p_iWire, int p_iCeiling, long long* p_pllInflated, std::string* p_pDetails);

#endif  // VORANT_TRANSPORT_INFLATING_BODY_H
