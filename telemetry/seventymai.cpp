#include "telemetry/seventymai.h"

#include <algorithm>

#include "telemetry/byte_order.h"
#include "telemetry/nmea_sentence.h"
#include "telemetry/novatek_gps.h"

namespace {
bool ReadDigits(std::string_view text, int& value) {
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

}  // namespace

std::optional<TelemetryTime> SeventyMaiClipStart(std::string_view path) {
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    // "NO" yyyymmdd "-" hhmmss "-"
    if (name.size() < 19 || name[10] != '-' || name[17] != '-')
        return std::nullopt;
    const std::string_view kind = name.substr(0, 2);
    if (kind != "NO" && kind != "EV" && kind != "PA")
        return std::nullopt;
    int year, month, day, hour, minute, second;
    TelemetryTime start;
    if (!ReadDigits(name.substr(2, 4), year) || !ReadDigits(name.substr(6, 2), month) ||
        !ReadDigits(name.substr(8, 2), day) || !ReadDigits(name.substr(11, 2), hour) ||
        !ReadDigits(name.substr(13, 2), minute) || !ReadDigits(name.substr(15, 2), second) ||
        !CivilTime(year, month, day, hour, minute, second, 0, start))
        return std::nullopt;
    return start;
}

std::vector<TelemetryPoint> DecodeSeventyMaiGps(std::span<const uint8_t> payload,
                                                std::optional<TelemetryTime> start) {
    constexpr size_t kRecord = 36;
    constexpr uint32_t kDaySeconds = 86400;  // longer clips are not recorded
    std::vector<TelemetryPoint> points;
    for (size_t at = 0; payload.size() - at >= kRecord; at += kRecord) {
        const uint8_t* r = payload.data() + at;
        if (std::all_of(r, r + kRecord, [](uint8_t b) { return b == 0; }))
            break;
        const uint32_t second = Le32(r + 8);
        if (second >= kDaySeconds)
            continue;
        TelemetryPoint point;
        point.clip_ms = int64_t{second} * 1000;
        if (start)
            SetPointTime(point, *start + std::chrono::seconds(second));
        point.valid = SignedDegrees(Le32(r + 17) / 1000.0, char(r[16]), 'N', 'S', 90, point.lat) &&
                      SignedDegrees(Le32(r + 22) / 1000.0, char(r[21]), 'E', 'W', 180, point.lon);
        if (point.valid)
            point.speed_kmh = Le32(r + 12) / 1000.0;
        else
            point.lat = point.lon = 0;
        points.push_back(point);
    }
    return points;
}

bool ProbeSeventyMai(const TelemetrySource& source) {
    return std::any_of(source.top.begin(), source.top.end(),
                       [](const Box& box) { return box.type == FourCc("GPS "); });
}

bool ReadSeventyMai(const TelemetrySource& source, Telemetry& out) {
    constexpr uint64_t kMaxBytes = 36 * 86400;
    const auto box = std::find_if(source.top.begin(), source.top.end(),
                                  [](const Box& b) { return b.type == FourCc("GPS "); });
    const std::optional<TelemetryTime> start = SeventyMaiClipStart(source.path);
    out.points = DecodeSeventyMaiGps(
        source.reader.ReadBytes(box->payload_offset(),
                                size_t(std::min<uint64_t>(box->payload_size, kMaxBytes))),
        start);
    if (out.points.empty())
        return false;
    if (!start)
        out.notes.push_back(BaseName(source.path) +
                            ": the name does not give the clip's start "
                            "(NOyyyymmdd-hhmmss-...), so its GPS records have no date");
    return true;
}
