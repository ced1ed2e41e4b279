#include "svg_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const double kWidth = 900, kPanelHeight = 240, kLeft = 70, kRight = 30, kTop = 50, kGap = 90;
const double kPlotWidth = kWidth - kLeft - kRight;

const char kBlue[] = "#1f5fbf";
const char kRed[] = "#c0392b";
const char kGreen[] = "#2e8b57";
const char kGrey[] = "#888888";

struct CPoint {
    double m_dX, m_dY;
};

// A line of the picture and its legend entry.
struct CSeries {
    const char* m_szClass;
    const char* m_szColour;
    const char* m_szLabel;
    std::vector<CPoint> m_Points;
};

std::string Num(double p_dValue) {
    char szText[32];
    std::snprintf(szText, sizeof szText, "%.1f", p_dValue);
    return szText;
}

std::string Escape(const std::string& p_strText) {
    std::string strOut;
    for (char c : p_strText) {
        if (c == '<')
            strOut += "&lt;";
        else if (c == '>')
            strOut += "&gt;";
        else if (c == '&')
            strOut += "&amp;";
        else
            strOut += c;
    }
    return strOut;
}

// A round upper bound for an axis: 1, 2 or 5 times a power of ten.
double NiceCeiling(double p_dValue) {
    if (p_dValue <= 0)
        return 1;
    const double dPower = std::pow(10.0, std::floor(std::log10(p_dValue)));
    for (double dStep : {1.0, 2.0, 5.0, 10.0}) {
        if (dStep * dPower >= p_dValue)
            return dStep * dPower;
    }
    return 10 * dPower;
}

std::string Text(double p_dX, double p_dY, const std::string& p_strText, const char* p_szAnchor = "middle",
                 int p_iSize = 12) {
    return "<text x=\"" + Num(p_dX) + "\" y=\"" + Num(p_dY) + "\" font-size=\"" + std::to_string(p_iSize) +
           "\" text-anchor=\"" + p_szAnchor + "\">" + Escape(p_strText) + "</text>\n";
}

std::string Line(double p_dX1, double p_dY1, double p_dX2, double p_dY2, const char* p_szStroke) {
    return "<line x1=\"" + Num(p_dX1) + "\" y1=\"" + Num(p_dY1) + "\" x2=\"" + Num(p_dX2) + "\" y2=\"" + Num(p_dY2) +
           "\" stroke=\"" + p_szStroke + "\"/>\n";
}

std::string Polyline(const CSeries& p_Series) {
    std::string strOut = "<polyline class=\"" + std::string(p_Series.m_szClass) +
                         "\" fill=\"none\" stroke-width=\"2\" stroke=\"" + p_Series.m_szColour + "\" points=\"";
    for (const CPoint& p : p_Series.m_Points)
        strOut += Num(p.m_dX) + "," + Num(p.m_dY) + " ";
    return strOut + "\"/>\n";
}

// The colours of a panel, in its top right corner.
std::string Legend(double p_dTop, const std::vector<CSeries>& p_Series) {
    std::string strOut = "<g class=\"legend\">\n";
    double dX = kWidth - kRight - 10;
    for (auto it = p_Series.rbegin(); it != p_Series.rend(); ++it) {
        const double dTextWidth = 7.0 * static_cast<double>(std::string(it->m_szLabel).size());
        strOut += Text(dX, p_dTop + 16, it->m_szLabel, "end", 11);
        dX -= dTextWidth + 4;
        strOut += "<rect x=\"" + Num(dX - 14) + "\" y=\"" + Num(p_dTop + 7) + "\" width=\"14\" height=\"10\" fill=\"" +
                  it->m_szColour + "\"/>\n";
        dX -= 30;
    }
    return strOut + "</g>\n";
}

// Frame, y axis up to p_dMax in p_szUnit, the title and the x label.
std::string Panel(double p_dTop, double p_dMax, const char* p_szUnit, const std::string& p_strTitle,
                  const std::string& p_strXLabel) {
    const double dRight = kWidth - kRight, dBottom = p_dTop + kPanelHeight;
    std::string strOut = Text(kWidth / 2, p_dTop - 12, p_strTitle, "middle", 14);
    strOut += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(p_dTop) + "\" width=\"" + Num(dRight - kLeft) +
              "\" height=\"" + Num(kPanelHeight) + "\" fill=\"#fafafa\" stroke=\"#888\"/>\n";
    for (int i = 0; i <= 4; ++i) {
        const double dY = dBottom - kPanelHeight * i / 4;
        strOut += Line(kLeft, dY, dRight, dY, "#ddd");
        char szLabel[32];
        std::snprintf(szLabel, sizeof szLabel, "%g", p_dMax * i / 4);
        strOut += Text(kLeft - 6, dY + 4, szLabel, "end");
    }
    strOut += Text(24, p_dTop + kPanelHeight / 2, p_szUnit, "middle");
    strOut += Text(kWidth / 2, dBottom + 36, p_strXLabel);
    return strOut;
}

// Second marks 0 .. p_nSeconds under a panel.
std::string TimeTicks(double p_dBottom, size_t p_nSeconds) {
    std::string strOut;
    const size_t nStep = std::max<size_t>(1, p_nSeconds / 10);
    for (size_t s = 0; s <= p_nSeconds; s += nStep)
        strOut += Text(kLeft + kPlotWidth * static_cast<double>(s) / static_cast<double>(p_nSeconds), p_dBottom + 16,
                       std::to_string(s));
    return strOut;
}

int64_t At(const std::vector<int64_t>& p_Counts, size_t p_nSecond) {
    return p_nSecond < p_Counts.size() ? p_Counts[p_nSecond] : 0;
}

std::string Title(const LoadPlan& p_Plan, const LoadResult& p_Result) {
    char szTitle[256];
    if (p_Result.open)
        std::snprintf(szTitle, sizeof szTitle,
                      "service %d: %.1f calls/s scheduled for %.1f s: %lld answered, %lld failed, %lld not started",
                      p_Plan.svcNum, p_Plan.rate, p_Plan.seconds, static_cast<long long>(p_Result.answered),
                      static_cast<long long>(p_Result.failed), static_cast<long long>(p_Result.notStarted));
    else
        std::snprintf(szTitle, sizeof szTitle, "service %d: %d calls over %d threads: %lld answered, %lld failed",
                      p_Plan.svcNum, p_Plan.calls, p_Plan.threads, static_cast<long long>(p_Result.answered),
                      static_cast<long long>(p_Result.failed));
    return szTitle;
}

}  // namespace

std::string LoadReportSvg(const LoadPlan& p_Plan, const LoadResult& p_Result) {
    const double dHeight = kTop + 3 * kPanelHeight + 2 * kGap + 70;
    std::string strSvg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) +
        "\" height=\"" + Num(dHeight) + "\" viewBox=\"0 0 " + Num(kWidth) + " " + Num(dHeight) +
        "\" font-family=\"sans-serif\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    strSvg += Text(kWidth / 2, 24, Title(p_Plan, p_Result), "middle", 15);

    // The run's own time: the schedule, or as long as calls went on.
    const double dSpan = std::max(p_Result.seconds, p_Result.open ? p_Plan.seconds : 0.0);
    const size_t nSeconds =
        std::max<size_t>({1, static_cast<size_t>(std::ceil(dSpan - 1e-9)), p_Result.perSecond.size(),
                          p_Result.failedPerSecond.size(), p_Result.notStartedPerSecond.size()});
    const char* szTimeLabel = p_Result.open ? "second of the schedule (by scheduled start)" : "second of the run";
    auto XOf = [&](size_t p_nSecond) {
        return kLeft + kPlotWidth * (static_cast<double>(p_nSecond) + 0.5) / static_cast<double>(nSeconds);
    };

    // Latency over time.
    double dMaxMs = 0;
    for (const auto& h : p_Result.perSecond)
        dMaxMs = std::max(dMaxMs, static_cast<double>(h.Percentile(99)) / 1000.0);
    dMaxMs = NiceCeiling(dMaxMs);
    double dTop = kTop + 20;
    double dBottom = dTop + kPanelHeight;
    strSvg += Panel(dTop, dMaxMs, "ms", "latency of answered calls over time", szTimeLabel);
    std::vector<CSeries> latency = {{"p50", kBlue, "p50", {}}, {"p99", kRed, "p99", {}}};
    for (size_t s = 0; s < p_Result.perSecond.size(); ++s) {
        const LatencyHistogram& h = p_Result.perSecond[s];
        if (h.Count() == 0)
            continue;
        latency[0].m_Points.push_back({XOf(s), dBottom - kPanelHeight * h.Percentile(50) / 1000.0 / dMaxMs});
        latency[1].m_Points.push_back({XOf(s), dBottom - kPanelHeight * h.Percentile(99) / 1000.0 / dMaxMs});
    }
    strSvg += TimeTicks(dBottom, nSeconds);
    if (p_Result.answered == 0)
        strSvg += Text(kWidth / 2, dTop + kPanelHeight / 2, "no answered calls", "middle", 14);
    strSvg += Polyline(latency[0]) + Polyline(latency[1]) + Legend(dTop, latency);

    // Calls per second: answered, failed, not started.
    dTop = dBottom + kGap;
    dBottom = dTop + kPanelHeight;
    std::vector<CSeries> calls = {{"answered", kGreen, "answered", {}},
                                  {"failed", kRed, "failed", {}},
                                  {"not-started", kGrey, "not started", {}}};
    double dMaxCalls = 0;
    for (size_t s = 0; s < nSeconds; ++s) {
        const int64_t llAnswered =
            s < p_Result.perSecond.size() ? static_cast<int64_t>(p_Result.perSecond[s].Count()) : 0;
        dMaxCalls =
            std::max({dMaxCalls, static_cast<double>(llAnswered), static_cast<double>(At(p_Result.failedPerSecond, s)),
                      static_cast<double>(At(p_Result.notStartedPerSecond, s))});
    }
    dMaxCalls = NiceCeiling(dMaxCalls);
    strSvg += Panel(dTop, dMaxCalls, "calls", "calls per second", szTimeLabel);
    for (size_t s = 0; s < nSeconds; ++s) {
        const int64_t llAnswered =
            s < p_Result.perSecond.size() ? static_cast<int64_t>(p_Result.perSecond[s].Count()) : 0;
        const int64_t llCounts[] = {llAnswered, At(p_Result.failedPerSecond, s), At(p_Result.notStartedPerSecond, s)};
        for (size_t k = 0; k < calls.size(); ++k)
            calls[k].m_Points.push_back(
                {XOf(s), dBottom - kPanelHeight * static_cast<double>(llCounts[k]) / dMaxCalls});
    }
    strSvg += TimeTicks(dBottom, nSeconds);
    for (const CSeries& series : calls)
        strSvg += Polyline(series);
    strSvg += Legend(dTop, calls);

    // Percentile distribution of the answered calls, x as 1 / (1 - p) on a
    // log scale.
    dTop = dBottom + kGap;
    dBottom = dTop + kPanelHeight;
    const LatencyHistogram& all = p_Result.latency;
    const double dCount = static_cast<double>(std::max<uint64_t>(1, all.Count()));
    const double dMaxNines = std::max(1.0, std::min(5.0, std::ceil(std::log10(dCount))));
    const double dAllMaxMs = NiceCeiling(static_cast<double>(all.Max()) / 1000.0);
    strSvg += Panel(dTop, dAllMaxMs, "ms", "latency of answered calls by percentile", "percentile");
    std::vector<CSeries> curve = {{"percentiles", kBlue, "latency", {}}};
    if (all.Count() > 0) {
        for (int k = 0; k <= static_cast<int>(dMaxNines * 20); ++k) {
            const double dNines = k / 20.0;
            const double dPercent = 100.0 * (1.0 - std::pow(10.0, -dNines));
            curve[0].m_Points.push_back({kLeft + kPlotWidth * dNines / dMaxNines,
                                         dBottom - kPanelHeight * all.Percentile(dPercent) / 1000.0 / dAllMaxMs});
        }
        curve[0].m_Points.push_back({kLeft + kPlotWidth, dBottom - kPanelHeight * all.Max() / 1000.0 / dAllMaxMs});
    } else {
        strSvg += Text(kWidth / 2, dTop + kPanelHeight / 2, "no answered calls", "middle", 14);
    }
    const char* kTicks[] = {"0%", "90%", "99%", "99.9%", "99.99%", "99.999%"};
    for (int n = 0; n <= static_cast<int>(dMaxNines); ++n)
        strSvg += Text(kLeft + kPlotWidth * n / dMaxNines, dBottom + 16, kTicks[n]);
    strSvg += Polyline(curve[0]) + Legend(dTop, curve);
    return strSvg + "</svg>\n";
}
