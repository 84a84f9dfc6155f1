#include "inrush/CMeasInrush.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "common/CAnalysisError.h"

namespace {

// A supply current that dips below the threshold for no longer than this is one
// event still: a bulk capacitor charging through a soft-start switch.
constexpr double kBridgedGap = 100e-6;  // s
// The scan starts this many samples before the trigger, so an inrush rising right
// at the trigger is caught from its first sample above the threshold.
constexpr std::size_t kPreTriggerSamples = 10;

struct Region {
    std::size_t m_nFirst;
    std::size_t m_nLast;
};

class CExcess {
public:
    CExcess(const std::vector<double>& current, double threshold)
        : m_Current(current), m_dThreshold(threshold) {}
    double operator()(std::size_t i) const { return std::max(m_Current[i] - m_dThreshold, 0.0); }
    bool Above(std::size_t i) const { return m_Current[i] > m_dThreshold; }

private:
    const std::vector<double>& m_Current;
    double m_dThreshold;
};

// The trigger: the first sample at or after t = 0, or the first sample of a capture
// whose time stamps all lie before it.
std::size_t TriggerIndex(const CSampleTimes& time) {
    const auto it = std::lower_bound(time.begin(), time.end(), 0.0);
    return it == time.end() ? 0 : static_cast<std::size_t>(it - time.begin());
}

// Last sample no more than `window` after `from`.
std::size_t WindowEnd(const CSampleTimes& time, std::size_t from, double window) {
    const auto it = std::upper_bound(time.begin() + static_cast<std::ptrdiff_t>(from), time.end(),
                                     time[from] + window);
    return static_cast<std::size_t>(it - time.begin()) - 1;
}

// Regions between `first` (the first rise) and `last` (where the window closes).
std::vector<Region> FindRegions(const CSampleTimes& time, const CExcess& excess, std::size_t first,
                                std::size_t last) {
    std::vector<Region> regions{{first, last}};
    std::size_t i = first;
    while (i < last) {
        while (i < last && excess.Above(i)) ++i;
        if (i == last) break;
        const std::size_t drop = i;
        while (i < last && !excess.Above(i)) ++i;
        // Back at the threshold until the window closes: the region runs to its end.
        if (!excess.Above(i)) {
            regions.back().m_nLast = i;
            break;
        }
        // A second device attaching later: the first region closes one bridging gap
        // after its drop, where the dip stopped counting as part of it.
        if (time[i] - time[drop] > kBridgedGap) {
            std::size_t end = drop;
            while (end + 1 < i && time[end + 1] - time[drop] <= kBridgedGap) ++end;
            regions.back().m_nLast = end;
            regions.push_back({i, last});
        }
    }
    return regions;
}

// Trapezoids over the actual steps: rounded text time stamps still add up to the
// region's span. They start at the sample before the rise when it is still at the
// threshold, so that the ramp of a fast attach edge between the two is counted.
double Charge(const CSampleTimes& time, const CExcess& excess, const Region& region) {
    double charge = 0.0;
    const std::size_t first = region.m_nFirst;
    const std::size_t from = first > 0 && !excess.Above(first - 1) ? first - 1 : first;
    for (std::size_t k = from; k < region.m_nLast; ++k)
        charge += 0.5 * (excess(k) + excess(k + 1)) * (time[k + 1] - time[k]);
    return charge;
}

}  // namespace

CInrushRecord CMeasInrush::MeasureInrush(CInrushRecord record, const CInrushSpec& spec) const {
    const CSampleTimes& time = record.m_Time;
    const std::vector<double>& current = record.m_Current;
    if (time.size() < 2 || current.size() != time.size())
        throw CAnalysisError("Too few samples: an inrush capture needs at least 2");
    const CExcess excess(current, spec.m_dCurrentThreshold);
    record.m_RegionCharge.clear();
    record.m_RegionStart.clear();
    record.m_RegionEnd.clear();
    record.m_dCharge = 0.0;
    record.m_dAfterTime = 0.0;
    record.m_bNoInrush = false;

    const std::size_t trigger = TriggerIndex(time);
    const std::size_t scan = trigger > kPreTriggerSamples ? trigger - kPreTriggerSamples : 0;
    std::size_t rise = scan;
    while (rise < time.size() && !excess.Above(rise)) ++rise;
    if (rise == time.size()) {
        // Nothing rose from the scan start on; current above the threshold can only
        // lie in the samples before it.
        bool earlier = false;
        for (std::size_t i = 0; i < scan && !earlier; ++i) earlier = excess.Above(i);
        if (earlier)
            throw CAnalysisError("Inrush current is above the threshold only before the trigger");
        // Nothing drew more than the threshold: no inrush, and a capture shorter than
        // the window may have missed it.
        record.m_bNoInrush = true;
        record.m_dAfterTime = std::min(time.back() - time[trigger], spec.m_dWindow);
        return record;
    }
    // An event that starts a window after the trigger is not the attach.
    if (time[rise] - time[trigger] >= spec.m_dWindow)
        throw CAnalysisError("Inrush current rises above the threshold only after the window");

    const std::size_t last = WindowEnd(time, rise, spec.m_dWindow);
    record.m_dAfterTime = time[last] - time[rise];
    for (const Region& region : FindRegions(time, excess, rise, last)) {
        record.m_RegionCharge.push_back(Charge(time, excess, region));
        record.m_RegionStart.push_back(time[region.m_nFirst]);
        record.m_RegionEnd.push_back(time[region.m_nLast]);
    }
    record.m_dCharge =
        *std::max_element(record.m_RegionCharge.begin(), record.m_RegionCharge.end());
    return record;
}
