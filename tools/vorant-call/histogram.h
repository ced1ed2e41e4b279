// A latency histogram with bounded relative error, in the manner of
// HdrHistogram: exact below 2^b microseconds, then 2^b linear buckets per
// power of two, so any recorded value is known to within 1 / 2^b.
#ifndef VORANT_CALL_HISTOGRAM_H
#define VORANT_CALL_HISTOGRAM_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Owns its counts. Not thread-safe: one writer, or a lock around it.
class LatencyHistogram {
public:
    // p_iSubBits from 1 to 12: 7 gives a relative error below 0.8 %.
    explicit LatencyHistogram(int p_iSubBits = 7);

    // Values below 0 count as 0; values above about 2^40 us (12 days) as the
    // largest bucket.
    void Record(int64_t p_llMicros);
    void Add(const LatencyHistogram& p_Other);  // same p_iSubBits

    uint64_t Count() const { return m_ullCount; }
    int64_t Min() const { return m_ullCount ? m_llMin : 0; }
    int64_t Max() const { return m_llMax; }
    double Mean() const;
    // The value at or below which p_dPercent % of the recorded values lie
    // (0 to 100), as the middle of its bucket, kept within Min() and Max();
    // the largest rank is Max() itself; 0 when empty.
    int64_t Percentile(double p_dPercent) const;

private:
    size_t IndexOf(int64_t p_llMicros) const;
    int64_t MiddleOf(size_t p_nIndex) const;

    int m_iSubBits;
    std::vector<uint64_t> m_Counts;
    uint64_t m_ullCount = 0;
    int64_t m_llMin = 0;
    int64_t m_llMax = 0;
    double m_dSum = 0;
};

#endif  // VORANT_CALL_HISTOGRAM_H
