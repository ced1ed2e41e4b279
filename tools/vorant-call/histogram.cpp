#include "histogram.h"

#include <algorithm>
#include <cmath>

namespace {

const int kTopBit = 40;  // values are cut to below 2^41 us

int HighestBit(uint64_t p_ullValue) { return 63 - __builtin_clzll(p_ullValue); }

}  // namespace

LatencyHistogram::LatencyHistogram(int p_iSubBits)
    : m_iSubBits(std::min(12, std::max(1, p_iSubBits))),
      m_Counts(static_cast<size_t>(1 << m_iSubBits) * static_cast<size_t>(kTopBit - m_iSubBits + 2), 0) {}

size_t LatencyHistogram::IndexOf(int64_t p_llMicros) const {
    const uint64_t sub = 1ull << m_iSubBits;
    uint64_t value = p_llMicros < 0 ? 0 : static_cast<uint64_t>(p_llMicros);
    value = std::min<uint64_t>(value, (2ull << kTopBit) - 1);
    if (value < sub)
        return static_cast<size_t>(value);
    const int shift = HighestBit(value) - m_iSubBits;  // 0 for [sub, 2 sub)
    const uint64_t mantissa = value >> shift;          // sub .. 2 sub - 1
    return static_cast<size_t>(sub + static_cast<uint64_t>(shift) * sub + (mantissa - sub));
}

int64_t LatencyHistogram::MiddleOf(size_t p_nIndex) const {
    const uint64_t sub = 1ull << m_iSubBits;
    if (p_nIndex < sub)
        return static_cast<int64_t>(p_nIndex);
    const uint64_t shift = (p_nIndex - sub) / sub;
    const uint64_t mantissa = sub + (p_nIndex - sub) % sub;
    return static_cast<int64_t>((mantissa << shift) + ((1ull << shift) >> 1));
}

void LatencyHistogram::Record(int64_t p_llMicros) {
    const int64_t value = std::max<int64_t>(0, p_llMicros);
    ++m_Counts[IndexOf(value)];
    m_llMin = m_ullCount == 0 ? value : std::min(m_llMin, value);
    m_llMax = std::max(m_llMax, value);
    m_dSum += static_cast<double>(value);
    ++m_ullCount;
}

void LatencyHistogram::Add(const LatencyHistogram& p_Other) {
    if (p_Other.m_ullCount == 0)
        return;
    for (size_t i = 0; i < m_Counts.size() && i < p_Other.m_Counts.size(); ++i)
        m_Counts[i] += p_Other.m_Counts[i];
    m_llMin = m_ullCount == 0 ? p_Other.m_llMin : std::min(m_llMin, p_Other.m_llMin);
    m_llMax = std::max(m_llMax, p_Other.m_llMax);
    m_dSum += p_Other.m_dSum;
    m_ullCount += p_Other.m_ullCount;
}

double LatencyHistogram::Mean() const { return m_ullCount ? m_dSum / static_cast<double>(m_ullCount) : 0.0; }

int64_t LatencyHistogram::Percentile(double p_dPercent) const {
    if (m_ullCount == 0)
        return 0;
    const double fraction = std::min(100.0, std::max(0.0, p_dPercent)) / 100.0;
    const uint64_t rank =
        std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(fraction * static_cast<double>(m_ullCount))));
    if (rank >= m_ullCount)
        return m_llMax;
    uint64_t seen = 0;
    for (size_t i = 0; i < m_Counts.size(); ++i) {
        seen += m_Counts[i];
        if (seen >= rank)
            return std::max(m_llMin, std::min(MiddleOf(i), m_llMax));
    }
    return m_llMax;
}
