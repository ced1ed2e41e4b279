// vorant: growable byte buffer for writers and readers.
//
// Threads: streams hold no shared state: an object serves one thread at a
// time, and different objects may be used on different threads at once.
#ifndef VORANT_STREAM_HPP
#define VORANT_STREAM_HPP

#include "vorant/export.h"

class CString;

// A growable byte buffer. Owns m_pData (malloc family); copies are deep.
// After every append the byte at GetSize() is 0, so the content reads as a
// zero-terminated text.
class VORANT_API CStream {
public:
    enum { DEFAULT_GROW_BY = 512 };

    // Empty, no buffer, growth step 512.
    CStream();
    // Growth step p_iGrowBy (512 when below 1); a zeroed buffer of
    // p_iInitialSize bytes when that is at least 1, else none. A failed
    // allocation raises CException "(CStream) Out of memory" (code 0).
    CStream(int p_iInitialSize, int p_iGrowBy);
    // Copies raise as the sized constructor does.
    CStream(const CStream& p_Other);
    CStream(CStream&& p_Other) noexcept;
    CStream& operator=(const CStream& p_Other);
    CStream& operator=(CStream&& p_Other) noexcept;
    ~CStream();

    // Appends p_iLength bytes; 0 on success (and for null / nothing to add),
    // -1 when the buffer cannot grow (the content is then unchanged).
    int AppendData(const char* p_pData, int p_iLength);
    int AppendData(const CString& p_Text);
    // The text and a line feed; returns the result of appending the text
    // (the line feed may be lost when the buffer cannot grow for it).
    int AppendLine(const CString& p_Text);

    // The buffer (null when there is none), owned by the stream and valid
    // until it next grows; and the content length.
    char* GetData() { return m_pData; }
    const char* GetData() const { return m_pData; }
    int GetSize() const { return m_iSize; }
    int GetCapacity() const { return m_iCapacity; }
    int GetGrowBy() const { return m_iGrowBy; }

    // Prepares a zeroed buffer of at least p_iLength bytes for direct
    // writing and empties the content; null when it cannot be allocated.
    // The buffer stays the stream's.
    char* GetBuffer(int p_iLength);
    // Ends direct writing: p_iLength >= 0 sets the size (cut to capacity - 1),
    // negative takes strlen of the buffer.
    void ReleaseBuffer(int p_iLength);
    // Zeroes the buffer and empties the content; the capacity stays.
    void Clear();

private:
    // Makes room for p_iNeeded bytes plus the terminator; false when the
    // buffer cannot grow (nothing changes then).
    bool Reserve(int p_iNeeded);
    void Free();

    int m_iSize;
    int m_iCapacity;
    int m_iGrowBy;
    char* m_pData;
};

#endif  // VORANT_STREAM_HPP
