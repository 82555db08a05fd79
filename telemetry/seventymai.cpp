#include "telemetry/seventymai.h"

#include "telemetry/bytes.h"
#include "telemetry/nmea_sentence.h"

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

std::vector<TelemetryPoint> DecodeSeventyMaiGps(std::string_view payload,
                                                std::optional<TelemetryTime> start) {
    constexpr size_t kRecord = 36;
    constexpr uint32_t kDaySeconds = 86400;  // longer clips are not recorded
    std::vector<TelemetryPoint> points;
    for (size_t at = 0; payload.size() - at >= kRecord; at += kRecord) {
        const std::string_view record = payload.substr(at, kRecord);
        if (record.find_first_not_of('\0') == std::string_view::npos)
            break;
        const char* r = record.data();
        const uint32_t second = LoadLe32(r + 8);
        if (second >= kDaySeconds)
            continue;
        TelemetryPoint point;
        point.clip_ms = int64_t{second} * 1000;
        if (start)
            SetPointTime(point, *start + std::chrono::seconds(second));
        point.valid = SignedDegrees(LoadLe32(r + 17) / 1000.0, r[16], 'N', 'S', 90, point.lat) &&
                      SignedDegrees(LoadLe32(r + 22) / 1000.0, r[21], 'E', 'W', 180, point.lon);
        if (point.valid)
            point.speed_kmh = LoadLe32(r + 12) / 1000.0;
        else
            point.lat = point.lon = 0;
        points.push_back(point);
    }
    return points;
}
