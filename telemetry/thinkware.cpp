#include "telemetry/thinkware.h"

#include <algorithm>

#include "telemetry/nmea_sentence.h"
#include "telemetry/sample_table.h"
#include "track/text_number.h"

namespace {
// The comma-separated integers after "gsensori," (range, full-scale count, x, y, z) as g.
bool ReadGsensor(std::string_view sample, TelemetryPoint& point) {
    constexpr std::string_view kTag = "gsensori,";
    const size_t tag = sample.find(kTag);
    if (tag == std::string_view::npos)
        return false;
    int32_t value[5];
    size_t at = tag + kTag.size();
    for (int i = 0; i < 5; ++i) {
        size_t end = at < sample.size() && sample[at] == '-' ? at + 1 : at;
        const size_t digits = end;
        while (end < sample.size() && end - at < 9 && sample[end] >= '0' && sample[end] <= '9')
            ++end;
        if (end == digits || (i < 4 && (end >= sample.size() || sample[end] != ',')))
            return false;
        value[i] = ReadInteger(sample.data() + at, end - at);
        at = end + 1;
    }
    if (value[0] <= 0 || value[1] <= 0)
        return false;
    const double g_per_count = double(value[0]) / value[1];
    point.has_accel = true;
    point.ax = value[2] * g_per_count;
    point.ay = value[3] * g_per_count;
    point.az = value[4] * g_per_count;
    return true;
}

// The first RMC sentence, read from its talker whether or not a "$" stands before it.
bool ReadFirstRmc(std::string_view sample, TelemetryPoint& point) {
    for (size_t at = sample.find("RMC,"); at != std::string_view::npos;
         at = sample.find("RMC,", at + 1)) {
        if (at >= 2 && ReadRmc(sample.substr(at - 2), point))
            return true;
    }
    return false;
}
}  // namespace

std::vector<TelemetryPoint> DecodeThinkwareSample(std::span<const uint8_t> bytes, int64_t clip_ms) {
    const std::string_view sample(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    TelemetryPoint point;
    point.clip_ms = clip_ms;
    const bool accel = ReadGsensor(sample, point);
    if (!ReadFirstRmc(sample, point) && !accel)
        return {};
    return {point};
}

bool ProbeThinkware(const TelemetrySource& source) {
    return source.moov.has_value();
}

bool ReadThinkware(const TelemetrySource& source, Telemetry& out) {
    constexpr uint32_t kMaxSample = 4096;  // a reading and a sentence are a few hundred bytes
    for (const MediaTrack& track : ListTracks(source.reader, *source.moov)) {
        if (track.handler != FourCc("text") && track.handler != FourCc("sbtl") &&
            track.handler != FourCc("subt"))
            continue;
        for (const MediaSample& sample : ReadSamples(source.reader, track)) {
            const std::vector<TelemetryPoint> points = DecodeThinkwareSample(
                source.reader.ReadBytes(sample.offset, std::min(sample.size, kMaxSample)),
                sample.time_ms);
            out.points.insert(out.points.end(), points.begin(), points.end());
        }
        if (!out.points.empty())
            return true;
    }
    return false;
}
