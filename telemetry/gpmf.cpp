#include "telemetry/gpmf.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "telemetry/byte_order.h"
#include "telemetry/point_time.h"
#include "telemetry/sample_table.h"

namespace {
constexpr double kStandardGravity = 9.80665;  // m/s² in a g
constexpr int kMaxDepth = 8;
constexpr int64_t kDayMs = 86400000;  // no payload lasts longer

using Bytes = std::span<const uint8_t>;

struct Klv {
    uint32_t key;  // FourCc
    char type;
    size_t size;    // of one sample
    size_t repeat;  // samples
    Bytes data;
};

// The record at the front of bytes, which is then dropped; false when it does not fit.
bool TakeKlv(Bytes& bytes, Klv& klv) {
    if (bytes.size() < 8)
        return false;
    klv.key = Be32(bytes.data());
    klv.type = char(bytes[4]);
    klv.size = bytes[5];
    klv.repeat = Be16(bytes.data() + 6);
    const size_t length = klv.size * klv.repeat;
    if (bytes.size() - 8 < length)
        return false;
    klv.data = bytes.subspan(8, length);
    bytes = bytes.subspan(std::min(bytes.size(), 8 + (length + 3) / 4 * 4));
    return true;
}

size_t TypeSize(char type) {
    switch (type) {
        case 'b':
        case 'B':
        case 'c':
            return 1;
        case 's':
        case 'S':
            return 2;
        case 'l':
        case 'L':
        case 'f':
        case 'q':
            return 4;
        case 'd':
        case 'j':
        case 'J':
        case 'Q':
            return 8;
        default:
            return 0;
    }
}

// One number of a type TypeSize knows, other than 'c'.
double ReadNumber(char type, const uint8_t* p) {
    switch (type) {
        case 'b':
            return static_cast<int8_t>(*p);
        case 'B':
            return *p;
        case 's':
            return static_cast<int16_t>(Be16(p));
        case 'S':
            return Be16(p);
        case 'l':
            return static_cast<int32_t>(Be32(p));
        case 'L':
            return Be32(p);
        case 'f':
            return std::bit_cast<float>(Be32(p));
        case 'q':
            return static_cast<int32_t>(Be32(p)) / 65536.0;
        case 'd':
            return std::bit_cast<double>(Be64(p));
        case 'j':
            return static_cast<double>(static_cast<int64_t>(Be64(p)));
        case 'J':
            return static_cast<double>(Be64(p));
        case 'Q':
            return static_cast<int64_t>(Be64(p)) / 4294967296.0;
        default:
            return 0;
    }
}

// A number as an int, 0 when it is none or out of range.
int ToInt(double value) {
    return std::isfinite(value) && std::abs(value) < 1e9 ? int(value) : 0;
}

std::string_view Text(const Klv& klv) {
    const std::string_view text(reinterpret_cast<const char*>(klv.data.data()), klv.data.size());
    return text.substr(0, text.find('\0'));
}

// The sticky properties of a stream, as they stand before a data record.
struct Stream {
    std::vector<double> scale;  // SCAL: one divisor for all fields, or one per field
    std::string type;           // TYPE of '?' samples
    std::string orientation;    // ORIN, or the model's order of the accelerometer axes
    std::optional<TelemetryTime> gpsu;
    int fix = -1;  // GPSF, -1 when absent
};

// Sample index of klv as scaled numbers: one per element of a plain type, one per TYPE letter
// of a complex one. False when the layout does not add up or a divisor is 0.
bool ReadSample(const Klv& klv, const Stream& stream, size_t index, std::vector<double>& out) {
    out.clear();
    const uint8_t* p = klv.data.data() + index * klv.size;
    const uint8_t* end = p + klv.size;
    const std::string_view types = stream.type;
    for (size_t field = 0; p < end; ++field) {
        const char type = klv.type != '?' ? klv.type : field < types.size() ? types[field] : '\0';
        const size_t size = TypeSize(type);
        if (size == 0 || type == 'c' || size > size_t(end - p))
            return false;
        const double divisor = stream.scale.empty()          ? 1.0
                               : stream.scale.size() == 1    ? stream.scale[0]
                               : field < stream.scale.size() ? stream.scale[field]
                                                             : 1.0;
        if (divisor == 0)
            return false;
        out.push_back(ReadNumber(type, p) / divisor);
        p += size;
    }
    return true;
}

// "yymmddhhmmss.sss", years 20xx (type 'U', or 'c' on the HERO5).
std::optional<TelemetryTime> ReadGpsu(std::string_view text) {
    int digit[15];
    if (text.size() < 16 || text[12] != '.')
        return std::nullopt;
    for (int i = 0, at = 0; i < 16; ++i) {
        if (i == 12)
            continue;
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        digit[at++] = text[i] - '0';
    }
    const auto two = [&](int i) { return digit[i] * 10 + digit[i + 1]; };
    TelemetryTime time;
    if (!CivilTime(2000 + two(0), two(2), two(4), two(6), two(8), two(10),
                   digit[12] * 100 + digit[13] * 10 + digit[14], time))
        return std::nullopt;
    return time;
}

// The accelerometer's order of axes on models without ORIN, as GoPro documents them: HERO5
// (device "Camera") Z,X,Y; Fusion -Y,X,Z; HERO6 on Y,-X,Z. A lower-case letter is negated.
std::string DefaultOrientation(std::string_view device) {
    if (device == "Camera")
        return "ZXY";
    std::string lower(device);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("fusion") != std::string::npos ? "yXZ" : "YxZ";
}

class Reader {
public:
    Reader(int64_t start_ms, int64_t duration_ms, std::vector<TelemetryPoint>& points)
        : start_ms_(start_ms),
          duration_ms_(std::clamp<int64_t>(duration_ms, 0, kDayMs)),
          points_(points) {}

    void Walk(Bytes bytes, std::string_view device, int depth) {
        Klv klv;
        while (depth < kMaxDepth && TakeKlv(bytes, klv)) {
            if (klv.key == FourCc("DVNM") && klv.type == 'c')
                device = Text(klv);
            else if (klv.type == '\0' && klv.key == FourCc("STRM"))
                ReadStream(klv.data, device);
            else if (klv.type == '\0')
                Walk(klv.data, device, depth + 1);
        }
    }

private:
    void ReadStream(Bytes bytes, std::string_view device) {
        Stream stream;
        stream.orientation = DefaultOrientation(device);
        Klv klv;
        // The GPS time and fix describe the whole payload, wherever they stand in it.
        for (Bytes rest = bytes; TakeKlv(rest, klv);) {
            if (klv.key == FourCc("GPSU"))
                stream.gpsu = ReadGpsu(Text(klv));
            else if (klv.key == FourCc("GPSF") && klv.type != 'c' && TypeSize(klv.type) != 0 &&
                     klv.size >= TypeSize(klv.type) && klv.repeat > 0)
                stream.fix = ToInt(ReadNumber(klv.type, klv.data.data()));
        }
        for (Bytes rest = bytes; TakeKlv(rest, klv);) {
            if (klv.key == FourCc("SCAL"))
                ReadScale(klv, stream);
            else if (klv.key == FourCc("TYPE") && klv.type == 'c')
                stream.type = Text(klv);
            else if (klv.key == FourCc("ORIN") && klv.type == 'c' && Text(klv).size() == 3)
                stream.orientation = Text(klv);
            else if (klv.key == FourCc("GPS5") || klv.key == FourCc("GPS9"))
                ReadGps(klv, stream);
            else if (klv.key == FourCc("ACCL"))
                ReadAccel(klv, stream);
        }
    }

    static void ReadScale(const Klv& klv, Stream& stream) {
        stream.scale.clear();
        const size_t size = TypeSize(klv.type);
        if (size == 0 || klv.type == 'c')
            return;
        for (size_t at = 0; at + size <= klv.data.size(); at += size)
            stream.scale.push_back(ReadNumber(klv.type, klv.data.data() + at));
    }

    int64_t SampleMs(size_t index, size_t count) const {
        return start_ms_ + duration_ms_ * int64_t(index) / int64_t(count);
    }

    void ReadGps(const Klv& klv, const Stream& stream) {
        const bool nine = klv.key == FourCc("GPS9");
        Stream layout = stream;
        if (nine && klv.type == '?' && layout.type.empty())
            layout.type = "lllllllSS";  // the documented layout when TYPE is missing
        std::vector<double> v;
        for (size_t i = 0; i < klv.repeat; ++i) {
            if (!ReadSample(klv, layout, i, v) || v.size() < (nine ? 9u : 4u))
                return;
            TelemetryPoint point;
            point.clip_ms = SampleMs(i, klv.repeat);
            const int fix = nine ? ToInt(v[8]) : stream.fix;
            if (nine) {
                // Days since 2000-01-01 and seconds since midnight.
                const TelemetryTime epoch = std::chrono::sys_days{std::chrono::year{2000} / 1 / 1};
                const double ms = std::round(v[6] * 1000);
                if (v[5] >= 0 && v[5] < 1e6 && ms >= 0 && ms < kDayMs)
                    SetPointTime(point, epoch + std::chrono::days(int64_t(v[5])) +
                                            std::chrono::milliseconds(int64_t(ms)));
            } else if (stream.gpsu) {
                SetPointTime(point,
                             *stream.gpsu + std::chrono::milliseconds(point.clip_ms - start_ms_));
            }
            point.valid = fix != 0 && fix != 1 && std::abs(v[0]) <= 90 && std::abs(v[1]) <= 180 &&
                          (v[0] != 0 || v[1] != 0);
            if (point.valid) {
                point.lat = v[0];
                point.lon = v[1];
                point.altitude = v[2];
                point.speed_kmh = v[3] * 3.6;
            }
            if (point.has_time || point.valid)
                points_.push_back(point);
        }
    }

    void ReadAccel(const Klv& klv, const Stream& stream) {
        std::vector<double> v;
        for (size_t i = 0; i < klv.repeat; ++i) {
            if (!ReadSample(klv, stream, i, v) || v.size() < 3)
                return;
            double axis[3];
            if (!Orient(stream.orientation, v, axis))
                std::copy(v.begin(), v.begin() + 3, axis);
            TelemetryPoint point;
            point.clip_ms = SampleMs(i, klv.repeat);
            point.has_accel = true;
            point.ax = axis[0] / kStandardGravity;
            point.ay = axis[1] / kStandardGravity;
            point.az = axis[2] / kStandardGravity;
            points_.push_back(point);
        }
    }

    // The stored axes put in camera X, Y, Z order: each letter names the camera axis of the
    // stored value in its place, lower case when negated.
    static bool Orient(std::string_view order, const std::vector<double>& stored,
                       double (&axis)[3]) {
        bool seen[3] = {};
        for (size_t k = 0; k < 3; ++k) {
            const char letter = order.size() == 3 ? order[k] : '\0';
            const int index = std::toupper(static_cast<unsigned char>(letter)) - 'X';
            if (index < 0 || index > 2 || seen[index])
                return false;
            seen[index] = true;
            axis[index] = letter == 'X' + index ? stored[k] : -stored[k];
        }
        return true;
    }

    int64_t start_ms_;
    int64_t duration_ms_;
    std::vector<TelemetryPoint>& points_;
};
}  // namespace

std::vector<TelemetryPoint> DecodeGpmf(std::span<const uint8_t> payload, int64_t start_ms,
                                       int64_t duration_ms) {
    std::vector<TelemetryPoint> points;
    Reader(start_ms, duration_ms, points).Walk(payload, {}, 0);
    return points;
}

bool ProbeGpmf(const TelemetrySource& source) {
    return source.moov.has_value();
}

bool ReadGpmf(const TelemetrySource& source, Telemetry& out) {
    constexpr uint32_t kMaxPayload = 4u << 20;  // a second of every sensor is some kilobytes
    constexpr int64_t kPayloadMs = 1000;        // what GoPro cameras write when times are missing
    for (const MediaTrack& track : ListTracks(source.reader, *source.moov)) {
        if (track.format != FourCc("gpmd"))
            continue;
        // Other cameras use the gpmd format for layouts of their own; GPMF begins with DEVC.
        bool gpmf = false;
        const std::vector<MediaSample> samples = ReadSamples(source.reader, track);
        int64_t duration = kPayloadMs;
        for (size_t i = 0; i < samples.size(); ++i) {
            const std::vector<uint8_t> payload =
                source.reader.ReadBytes(samples[i].offset, std::min(samples[i].size, kMaxPayload));
            if (payload.size() < 8 || Be32(payload.data()) != FourCc("DEVC"))
                continue;
            gpmf = true;
            int64_t start = samples[i].time_ms;
            if (start < 0 || start == INT64_MAX) {
                start = int64_t(i) * kPayloadMs;
            } else if (i + 1 < samples.size() && samples[i + 1].time_ms > start &&
                       samples[i + 1].time_ms != INT64_MAX) {
                duration =
                    samples[i + 1].time_ms - start;  // the last runs as long as the one before
            }
            const std::vector<TelemetryPoint> points = DecodeGpmf(payload, start, duration);
            out.points.insert(out.points.end(), points.begin(), points.end());
        }
        if (gpmf)
            return true;
    }
    return false;
}
