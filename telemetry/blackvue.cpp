#include "telemetry/blackvue.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "telemetry/byte_order.h"
#include "telemetry/nmea_sentence.h"
#include "telemetry/novatek_gps.h"

namespace {
// Counts of the 3gf axes per g.
constexpr double kCountsPerG = 128.0;
// More than the records of hours of recording (some kilobytes a minute); bounds what a
// crafted size makes us read.
constexpr size_t kMaxRecordBytes = size_t{8} << 20;

std::vector<uint8_t> Payload(const FileReader& reader, const Box& box) {
    return reader.ReadBytes(box.payload_offset(),
                            size_t(std::min<uint64_t>(box.payload_size, kMaxRecordBytes)));
}

void Append(std::vector<TelemetryPoint>& to, const std::vector<TelemetryPoint>& points) {
    to.insert(to.end(), points.begin(), points.end());
}

// path with its extension (".gps") replaced by extension.
std::string WithExtension(const std::string& path, const char* extension) {
    return path.substr(0, path.size() - 4) + extension;
}

bool SameTimeOfDay(const TelemetryPoint& fix, const GgaReading& gga) {
    return fix.has_time && fix.hour == gga.hour && fix.minute == gga.minute &&
           fix.second == gga.second && fix.millisecond == gga.millisecond;
}

void AddGga(TelemetryPoint& fix, const GgaReading& gga) {
    fix.satellites = gga.satellites;
    fix.altitude = gga.altitude;
}
}  // namespace

std::vector<TelemetryPoint> DecodeBlackVueGps(std::span<const uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<TelemetryPoint> points;
    int64_t first = -1;
    int64_t counter = -1;
    // What the current counter has seen, so that a GGA pairs with an RMC in either order.
    constexpr size_t kNone = SIZE_MAX;
    size_t rmc = kNone;
    GgaReading gga;
    bool haveGga = false;
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
                rmc = kNone;
                haveGga = false;
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
            point.clip_ms = first >= 0 && counter >= first ? counter - first : -1;
            if (haveGga && SameTimeOfDay(point, gga))
                AddGga(point, gga);
            rmc = points.size();
            points.push_back(point);
        } else if (ReadGga(rest, reading)) {
            gga = reading;
            haveGga = true;
            if (rmc != kNone && SameTimeOfDay(points[rmc], reading))
                AddGga(points[rmc], reading);
        }
    }
    return points;
}

std::vector<TelemetryPoint> DecodeBlackVue3gf(std::span<const uint8_t> bytes) {
    constexpr size_t kRecord = 10;
    std::vector<TelemetryPoint> points;
    for (size_t at = 0; bytes.size() - at >= kRecord; at += kRecord) {
        const uint8_t* record = bytes.data() + at;
        const uint32_t ms = Be32(record);
        if (ms == 0xFFFFFFFF)
            break;
        const auto axis = [&](size_t offset) {
            return static_cast<int16_t>(Be16(record + offset)) / kCountsPerG;
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

bool ProbeBlackVue(const TelemetrySource& source) {
    return std::any_of(source.top.begin(), source.top.end(),
                       [](const Box& box) { return box.type == FourCc("free"); });
}

bool ReadBlackVue(const TelemetrySource& source, Telemetry& out) {
    bool found = false;
    std::vector<TelemetryPoint> readings;
    for (const Box& free : source.top) {
        if (free.type != FourCc("free"))
            continue;
        BoxWalker walker(source.reader, free);
        Box record;
        while (walker.Next(&record)) {
            if (record.type == FourCc("gps ")) {
                Append(out.points, DecodeBlackVueGps(Payload(source.reader, record)));
                found = true;
            } else if (record.type == FourCc("3gf ")) {
                Append(readings, DecodeBlackVue3gf(Payload(source.reader, record)));
                found = true;
            }
        }
    }
    Append(out.points, readings);
    if (found && out.points.empty())
        out.notes.push_back(BaseName(source.path) + ": its gps and 3gf records hold no readings");
    return found;
}

bool ProbeBlackVueFiles(const TelemetrySource& source) {
    std::string extension =
        source.path.size() >= 4 ? source.path.substr(source.path.size() - 4) : std::string();
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".gps";
}

bool ReadBlackVueFiles(const TelemetrySource& source, Telemetry& out) {
    out.points = DecodeBlackVueGps(source.reader.ReadBytes(0, kMaxRecordBytes));
    // The accelerometer's file is named as the .gps is, in either letter case.
    for (const char* extension : {".3gf", ".3GF"}) {
        const FileReader sidecar(WithExtension(source.path, extension));
        if (sidecar.ok()) {
            Append(out.points, DecodeBlackVue3gf(sidecar.ReadBytes(0, kMaxRecordBytes)));
            break;
        }
    }
    if (out.points.empty())
        out.notes.push_back(BaseName(source.path) + ": no readings in the file");
    return true;
}
