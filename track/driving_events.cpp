#include "track/driving_events.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {
using Axis = double TrackSample::*;

// Collects one event per run of values at or over the threshold.
class RunFinder {
public:
    RunFinder(DrivingEventKind kind, double threshold) : kind_(kind), threshold_(threshold) {}

    void Add(const TrackEntry* entry, double value) {
        if (!(value >= threshold_)) {
            Close();
        } else if (peak_ == nullptr || value > peak_value_) {
            peak_ = entry;
            peak_value_ = value;
        }
    }

    // Ends the current run; the events found so far, in entry order.
    std::vector<DrivingEvent>& Close() {
        if (peak_ != nullptr)
            events_.push_back({peak_, kind_, peak_value_});
        peak_ = nullptr;
        return events_;
    }

private:
    DrivingEventKind kind_;
    double threshold_;
    const TrackEntry* peak_ = nullptr;
    double peak_value_ = 0;
    std::vector<DrivingEvent> events_;
};

// nan for inf, which no run peaks at.
double Finite(double value) {
    return std::isfinite(value) ? value : NAN;
}
}  // namespace

const char* DrivingEventName(DrivingEventKind kind) {
    return kind == DrivingEventKind::Harsh ? "harsh" : "bump";
}

std::vector<DrivingEvent> FindDrivingEvents(const TrackEntry* first,
                                            const DrivingEventThresholds& thresholds) {
    // Gravity tells which way the camera is mounted.
    constexpr Axis kAxes[3] = {&TrackSample::x, &TrackSample::y, &TrackSample::z};
    double abs_sum[3] = {};
    double sum[3] = {};
    long count = 0;
    for (const TrackEntry* e = first; e != nullptr; e = e->next, ++count) {
        for (int k = 0; k < 3; ++k) {
            // A reading of inf or nan is no reading, here and below.
            if (const double g = e->sample.*kAxes[k]; std::isfinite(g)) {
                abs_sum[k] += std::fabs(g);
                sum[k] += g;
            }
        }
    }
    if (count == 0)
        return {};
    int vertical = 2;
    for (int k = 1; k >= 0; --k) {
        if (abs_sum[k] / count > abs_sum[vertical] / count)
            vertical = k;
    }
    const Axis up = kAxes[vertical];
    const Axis a = kAxes[vertical == 0 ? 1 : 0];
    const Axis b = kAxes[vertical == 2 ? 1 : 2];
    const double mean_up = sum[vertical] / count;

    RunFinder harsh(DrivingEventKind::Harsh, thresholds.harsh_g);
    RunFinder bump(DrivingEventKind::Bump, thresholds.bump_g);
    for (const TrackEntry* e = first; e != nullptr; e = e->next) {
        const TrackSample& s = e->sample;
        harsh.Add(e, Finite(std::sqrt(s.*a * (s.*a) + s.*b * (s.*b))));
        bump.Add(e, Finite(std::fabs(s.*up - mean_up)));
    }
    const std::vector<DrivingEvent>& harsh_events = harsh.Close();
    const std::vector<DrivingEvent>& bump_events = bump.Close();
    // A stable merge keeps harsh ahead of bump at the same entry.
    std::vector<DrivingEvent> events;
    events.reserve(harsh_events.size() + bump_events.size());
    std::merge(harsh_events.begin(), harsh_events.end(), bump_events.begin(), bump_events.end(),
               std::back_inserter(events), [](const DrivingEvent& l, const DrivingEvent& r) {
                   return l.entry->index < r.entry->index;
               });
    return events;
}
