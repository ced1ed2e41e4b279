#include "svg_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const double kWidth = 900, kPanelHeight = 280, kLeft = 70, kRight = 30, kTop = 60, kGap = 80;

struct Point {
    double x, y;
};

std::string Num(double p_dValue) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", p_dValue);
    return text;
}

std::string Escape(const std::string& p_strText) {
    std::string out;
    for (char c : p_strText) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

// A round upper bound for an axis: 1, 2 or 5 times a power of ten.
double NiceCeiling(double p_dValue) {
    if (p_dValue <= 0)
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(p_dValue)));
    for (double step : {1.0, 2.0, 5.0, 10.0}) {
        if (step * power >= p_dValue)
            return step * power;
    }
    return 10 * power;
}

std::string Text(double x, double y, const std::string& p_strText, const char* p_szAnchor = "middle",
                 int p_iSize = 12) {
    return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" font-size=\"" + std::to_string(p_iSize) +
           "\" text-anchor=\"" + p_szAnchor + "\">" + Escape(p_strText) + "</text>\n";
}

std::string Line(double x1, double y1, double x2, double y2, const char* p_szStroke) {
    return "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" + Num(y2) +
           "\" stroke=\"" + p_szStroke + "\"/>\n";
}

std::string Polyline(const std::vector<Point>& p_Points, const char* p_szColour) {
    std::string out = "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" + std::string(p_szColour) + "\" points=\"";
    for (const Point& p : p_Points)
        out += Num(p.x) + "," + Num(p.y) + " ";
    return out + "\"/>\n";
}

// Frame, y axis in milliseconds up to p_dMaxMs, and the panel's title.
std::string Panel(double p_dTop, double p_dMaxMs, const std::string& p_strTitle, const std::string& p_strXLabel) {
    const double right = kWidth - kRight, bottom = p_dTop + kPanelHeight;
    std::string out = Text(kWidth / 2, p_dTop - 12, p_strTitle, "middle", 14);
    out += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(p_dTop) + "\" width=\"" + Num(right - kLeft) + "\" height=\"" +
           Num(kPanelHeight) + "\" fill=\"#fafafa\" stroke=\"#888\"/>\n";
    for (int i = 0; i <= 4; ++i) {
        const double y = bottom - kPanelHeight * i / 4;
        out += Line(kLeft, y, right, y, "#ddd");
        char label[32];
        std::snprintf(label, sizeof label, "%g", p_dMaxMs * i / 4);
        out += Text(kLeft - 6, y + 4, label, "end");
    }
    out += Text(20, p_dTop + kPanelHeight / 2, "ms", "middle");
    out += Text(kWidth / 2, bottom + 36, p_strXLabel);
    return out;
}

}  // namespace

std::string LoadReportSvg(const LoadPlan& p_Plan, const LoadResult& p_Result) {
    const double height = kTop + 2 * kPanelHeight + kGap + 60;
    const double plotWidth = kWidth - kLeft - kRight;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      Num(kWidth) + "\" height=\"" + Num(height) + "\" viewBox=\"0 0 " + Num(kWidth) + " " +
                      Num(height) +
                      "\" font-family=\"sans-serif\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    char title[256];
    if (p_Result.open)
        std::snprintf(title, sizeof title, "service %d: %.1f calls/s scheduled for %.1f s, %lld answered, %lld failed",
                      p_Plan.svcNum, p_Plan.rate, p_Plan.seconds, static_cast<long long>(p_Result.answered),
                      static_cast<long long>(p_Result.failed));
    else
        std::snprintf(title, sizeof title, "service %d: %d calls over %d threads, %lld answered, %lld failed",
                      p_Plan.svcNum, p_Plan.calls, p_Plan.threads, static_cast<long long>(p_Result.answered),
                      static_cast<long long>(p_Result.failed));
    svg += Text(kWidth / 2, 24, title, "middle", 15);

    // Latency over time.
    const size_t seconds = std::max<size_t>(1, p_Result.perSecond.size());
    double maxMs = 0;
    for (const auto& h : p_Result.perSecond)
        maxMs = std::max(maxMs, static_cast<double>(h.Percentile(99)) / 1000.0);
    maxMs = NiceCeiling(maxMs);
    double top = kTop + 20;
    svg += Panel(top, maxMs, "latency over time (p50 blue, p99 red)",
                 p_Result.open ? "second of the schedule" : "second of the run");
    std::vector<Point> p50, p99;
    const double bottom = top + kPanelHeight;
    for (size_t s = 0; s < p_Result.perSecond.size(); ++s) {
        const LatencyHistogram& h = p_Result.perSecond[s];
        if (h.Count() == 0)
            continue;
        const double x = kLeft + plotWidth * (static_cast<double>(s) + 0.5) / static_cast<double>(seconds);
        p50.push_back({x, bottom - kPanelHeight * h.Percentile(50) / 1000.0 / maxMs});
        p99.push_back({x, bottom - kPanelHeight * h.Percentile(99) / 1000.0 / maxMs});
    }
    const size_t tickStep = std::max<size_t>(1, seconds / 10);
    for (size_t s = 0; s <= seconds; s += tickStep)
        svg += Text(kLeft + plotWidth * static_cast<double>(s) / static_cast<double>(seconds), bottom + 16,
                    std::to_string(s));
    svg += Polyline(p50, "#1f5fbf") + Polyline(p99, "#c0392b");

    // Percentile distribution, x as 1 / (1 - p) on a log scale.
    top = bottom + kGap;
    const LatencyHistogram& all = p_Result.latency;
    const double count = static_cast<double>(std::max<uint64_t>(1, all.Count()));
    const double maxNines = std::max(1.0, std::min(5.0, std::ceil(std::log10(count))));
    const double allMaxMs = NiceCeiling(static_cast<double>(all.Max()) / 1000.0);
    svg += Panel(top, allMaxMs, "latency by percentile", "percentile");
    const double panelBottom = top + kPanelHeight;
    std::vector<Point> curve;
    for (int k = 0; k <= static_cast<int>(maxNines * 20); ++k) {
        const double nines = k / 20.0;
        const double percent = 100.0 * (1.0 - std::pow(10.0, -nines));
        curve.push_back({kLeft + plotWidth * nines / maxNines,
                         panelBottom - kPanelHeight * all.Percentile(percent) / 1000.0 / allMaxMs});
    }
    curve.push_back({kLeft + plotWidth, panelBottom - kPanelHeight * all.Max() / 1000.0 / allMaxMs});
    const char* kTicks[] = {"0%", "90%", "99%", "99.9%", "99.99%", "99.999%"};
    for (int n = 0; n <= static_cast<int>(maxNines); ++n)
        svg += Text(kLeft + plotWidth * n / maxNines, panelBottom + 16, kTicks[n]);
    svg += Polyline(curve, "#1f5fbf");
    return svg + "</svg>\n";
}
