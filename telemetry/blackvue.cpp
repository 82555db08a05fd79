#include "telemetry/blackvue.h"

#include <optional>

#include "telemetry/bytes.h"
#include "telemetry/nmea_sentence.h"

namespace {
// Counts of the 3gf axes per g.
constexpr double kCountsPerG = 128.0;

bool SameTimeOfDay(const TelemetryPoint& fix, const GgaReading& gga) {
    return fix.has_time && fix.hour == gga.hour && fix.minute == gga.minute &&
           fix.second == gga.second && fix.millisecond == gga.millisecond;
}

void AddGga(TelemetryPoint& fix, const GgaReading& gga) {
    fix.satellites = gga.satellites;
    fix.altitude = gga.altitude;
}
}  // namespace

std::vector<TelemetryPoint> DecodeBlackVueGps(std::string_view text) {
    std::vector<TelemetryPoint> points;
    int64_t first = -1;
    int64_t counter = -1;
    // What the current counter has seen, so that a GGA pairs with an RMC in either order.
    std::optional<size_t> rmc;
    std::optional<GgaReading> gga;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '[') {
            size_t end = i + 1;
            int64_t value = 0;
            for (; end < text.size() && end - i <= 18 && text[end] >= '0' && text[end] <= '9';
                 ++end)
                value = value * 10 + (text[end] - '0');
            if (end == i + 1 || end >= text.size() || text[end] != ']')
                continue;
            if (first < 0)
                first = value;
            if (value != counter) {
                rmc.reset();
                gga.reset();
            }
            counter = value;
            i = end;
            continue;
        }
        if (text[i] != '$')
            continue;
        const std::string_view rest = text.substr(i);
        TelemetryPoint point;
        GgaReading reading;
        if (ReadRmc(rest, point)) {
            point.clip_ms = counter >= first ? counter - first : -1;
            if (gga && SameTimeOfDay(point, *gga))
                AddGga(point, *gga);
            rmc = points.size();
            points.push_back(point);
        } else if (ReadGga(rest, reading)) {
            gga = reading;
            if (rmc && SameTimeOfDay(points[*rmc], reading))
                AddGga(points[*rmc], reading);
        }
    }
    return points;
}

std::vector<TelemetryPoint> DecodeBlackVue3gf(std::string_view bytes) {
    constexpr size_t kRecord = 10;
    std::vector<TelemetryPoint> points;
    for (size_t at = 0; bytes.size() - at >= kRecord; at += kRecord) {
        const char* record = bytes.data() + at;
        const uint32_t ms = LoadBe32(record);
        if (ms == 0xFFFFFFFF)
            break;
        const auto axis = [&](size_t offset) {
            return static_cast<int16_t>(LoadBe16(record + offset)) / kCountsPerG;
        };
        TelemetryPoint point;
        point.clip_ms = ms;
        point.has_accel = true;
        point.az = axis(4);
        point.ax = axis(6);
        point.ay = axis(8);
        points.push_back(point);
    }
    return points;
}
