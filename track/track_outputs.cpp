#include "track/track_outputs.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "track/track.h"

namespace {
constexpr double kEarthRadiusKm = 6371.0088;  // mean radius
constexpr double kPi = 3.14159265358979323846;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

// Haversine distance in kilometres between two points in decimal degrees.
double GreatCircleKm(double lat1, double lon1, double lat2, double lon2) {
    const double dlat = Radians(lat2 - lat1);
    const double dlon = Radians(lon2 - lon1);
    const double a =
        std::sin(dlat / 2) * std::sin(dlat / 2) +
        std::cos(Radians(lat1)) * std::cos(Radians(lat2)) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * kEarthRadiusKm * std::asin(std::sqrt(std::fmin(1.0, a)));
}

// ISO-8601 UTC with hundredths, formatted on the stack: the writers run once per entry.
// Empty for a time that is no real UTC time (month 13, 25:00), which outputs leave out.
class UtcText {
public:
    explicit UtcText(const TrackSample& s) {
        using namespace std::chrono;
        const bool real =
            s.year >= -1900 && s.year <= 9999 - 1900 && s.hour >= 0 && s.hour < 24 &&
            s.minute >= 0 && s.minute < 60 && s.second >= 0 && s.second < 60 && s.hundredths >= 0 &&
            s.hundredths < 1000 &&
            year_month_day(year(s.year + 1900), month(static_cast<unsigned>(s.month + 1)),
                           day(static_cast<unsigned>(s.day)))
                .ok();
        if (real) {
            std::snprintf(text_, sizeof text_, "%04d-%02d-%02dT%02d:%02d:%02d.%02dZ", s.year + 1900,
                          s.month + 1, s.day, s.hour, s.minute, s.second, s.hundredths);
        }
    }
    bool real() const { return text_[0] != '\0'; }
    const char* c_str() const { return text_; }

private:
    char text_[96] = "";
};

// A number as printf writes it, or empty for inf and nan, which no output carries.
class Number {
public:
    Number() = default;
    Number(const char* format, double value) {
        if (std::isfinite(value))
            std::snprintf(text_, sizeof text_, format, value);
    }
    // "%.10g" as xsd:decimal takes it, without an exponent: small values in fixed form,
    // values of ten digits and more left out.
    static Number Decimal(double value) {
        Number n("%.10g", value);
        if (std::strchr(n.text_, 'e') == nullptr)
            return n;
        if (std::fabs(value) >= 1)
            return {};
        n = Number("%.12f", value);
        size_t end = std::strlen(n.text_);
        while (n.text_[end - 1] == '0') --end;
        n.text_[n.text_[end - 1] == '.' ? end - 1 : end] = '\0';
        return n;
    }
    bool empty() const { return text_[0] == '\0'; }
    const char* c_str() const { return text_; }

private:
    char text_[320] = "";  // "%.8f" of the largest double
};

bool OnEarth(double lat, double lon) {
    return std::fabs(lat) <= 90 && std::fabs(lon) <= 180;
}

// A usable position in decimal degrees: a valid fix that converts to a place on the earth
// (checksum-valid logs also give latitude 100 and infinities).
bool FixDegrees(const TrackSample& s, double* lat, double* lon) {
    if (s.valid <= 0)
        return false;
    NmeaToDegrees(s.lat, s.lon, lat, lon);
    return OnEarth(*lat, *lon);
}

// Text as XML 1.0 takes it, from any bytes: what is not UTF-8, and characters XML does not
// allow (most control characters), become U+FFFD.
std::string XmlText(const std::string& text) {
    static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80   ? 1
                        : lead < 0xC0 ? 0
                        : lead < 0xE0 ? 2
                        : lead < 0xF0 ? 3
                        : lead < 0xF5 ? 4
                                      : 0;
        char32_t c = lead & (length == 1 ? 0x7F : 0xFF >> (length + 1));
        for (size_t k = 1; k < length; ++k) {
            const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
            if ((next & 0xC0) != 0x80) {
                length = 0;
                break;
            }
            c = c << 6 | (next & 0x3F);
        }
        const bool allowed = length != 0 && c >= kShortest[length] &&
                             (c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c < 0xD800) ||
                              (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF));
        if (!allowed) {
            out += "\xEF\xBF\xBD";
            i += length != 0 ? length : 1;
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

// "lon,lat,altitude", the altitude left out when it has no decimal form.
std::string KmlCoordinates(double lat, double lon, const TrackSample& s) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f,%.6f", lon, lat);
    const Number altitude = Number::Decimal(s.altitude);
    return altitude.empty() ? text : std::string(text) + "," + altitude.c_str();
}

// The stream keeps its error flag, so one check at the end covers every write before it.
bool Finish(std::FILE* out) {
    return std::ferror(out) == 0;
}
}  // namespace

TrackSummary SummarizeTrack(const TrackEntry* first, const std::vector<DrivingEvent>& events) {
    TrackSummary summary;
    bool have_fix = false;
    double last_lat = 0;
    double last_lon = 0;
    for (const TrackEntry* e = first; e != nullptr; e = e->next) {
        const TrackSample& s = e->sample;
        ++summary.entries;
        if (std::isfinite(s.speed))
            summary.max_speed_kmh = std::fmax(summary.max_speed_kmh, s.speed);
        if (const double g = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z); std::isfinite(g))
            summary.peak_g = std::fmax(summary.peak_g, g);
        double lat = 0;
        double lon = 0;
        if (!FixDegrees(s, &lat, &lon))
            continue;
        ++summary.valid_fixes;
        if (have_fix)
            summary.distance_km += GreatCircleKm(last_lat, last_lon, lat, lon);
        have_fix = true;
        last_lat = lat;
        last_lon = lon;
    }
    for (const DrivingEvent& event : events)
        ++(event.kind == DrivingEventKind::Harsh ? summary.harsh_events : summary.bump_events);
    return summary;
}

std::string FormatSummary(const TrackSummary& s) {
    // One entry is one second of the recording.
    const int seconds = s.entries;
    char text[512];
    std::snprintf(
        text, sizeof text,
        "entries: %d\nvalid fixes: %d\nduration: %d:%02d:%02d\ndistance: %.3f km\n"
        "max speed: %.1f km/h\npeak acceleration: %.3f g\nharsh events: %d\nbump events: %d\n",
        s.entries, s.valid_fixes, seconds / 3600, seconds / 60 % 60, seconds % 60, s.distance_km,
        s.max_speed_kmh, s.peak_g, s.harsh_events, s.bump_events);
    return text;
}

bool WriteGpx(std::FILE* out, const TrackEntry* first, const std::string& name) {
    std::fprintf(out,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<gpx version=\"1.1\" creator=\"vantrail-track\" "
                 "xmlns=\"http://www.topografix.com/GPX/1/1\" "
                 "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n"
                 "  <trk>\n    <name>%s</name>\n    <trkseg>\n",
                 XmlText(name).c_str());
    for (const TrackEntry* e = first; e != nullptr; e = e->next) {
        const TrackSample& s = e->sample;
        double lat = 0;
        double lon = 0;
        if (!FixDegrees(s, &lat, &lon))
            continue;
        std::fprintf(out, "      <trkpt lat=\"%.8f\" lon=\"%.8f\">\n", lat, lon);
        if (const Number ele = Number::Decimal(s.altitude); !ele.empty())
            std::fprintf(out, "        <ele>%s</ele>\n", ele.c_str());
        if (const UtcText utc(s); utc.real())
            std::fprintf(out, "        <time>%s</time>\n", utc.c_str());
        std::fputs("        <extensions><gpxtpx:TrackPointExtension>", out);
        if (const Number speed = Number::Decimal(s.speed / 3.6); !speed.empty())
            std::fprintf(out, "<gpxtpx:speed>%s</gpxtpx:speed>", speed.c_str());
        if (const Number course = Number::Decimal(s.dir); !course.empty())
            std::fprintf(out, "<gpxtpx:course>%s</gpxtpx:course>", course.c_str());
        std::fputs("</gpxtpx:TrackPointExtension></extensions>\n      </trkpt>\n", out);
    }
    std::fputs("    </trkseg>\n  </trk>\n</gpx>\n", out);
    return Finish(out);
}

bool WriteCsv(std::FILE* out, const TrackEntry* first) {
    std::fputs(
        "index,utc,valid,lat,lon,altitude,speed_kmh,course,x,y,z,satellites_in_view,"
        "satellites_in_use\n",
        out);
    for (const TrackEntry* e = first; e != nullptr; e = e->next) {
        const TrackSample& s = e->sample;
        double lat = 0;
        double lon = 0;
        NmeaToDegrees(s.lat, s.lon, &lat, &lon);
        // A position off the earth is no position.
        const bool on_earth = OnEarth(lat, lon);
        std::fprintf(out, "%d,%s,%d,%s,%s,%s,%s,%s,%s,%s,%s,%d,%d\n", e->index, UtcText(s).c_str(),
                     s.valid, Number("%.8f", on_earth ? lat : NAN).c_str(),
                     Number("%.8f", on_earth ? lon : NAN).c_str(),
                     Number("%.10g", s.altitude).c_str(), Number("%.10g", s.speed).c_str(),
                     Number("%.10g", s.dir).c_str(), Number("%.10g", s.x).c_str(),
                     Number("%.10g", s.y).c_str(), Number("%.10g", s.z).c_str(), s.inview_no,
                     s.inuse_no);
    }
    return Finish(out);
}

bool WriteEventsCsv(std::FILE* out, const std::vector<DrivingEvent>& events) {
    std::fputs("index,utc,kind,peak_g,lat,lon,speed_kmh\n", out);
    for (const DrivingEvent& event : events) {
        const TrackSample& s = event.entry->sample;
        std::fprintf(out, "%d,%s,%s,%.3f,", event.entry->index, UtcText(s).c_str(),
                     DrivingEventName(event.kind), event.peak_g);
        double lat = 0;
        double lon = 0;
        if (FixDegrees(s, &lat, &lon))
            std::fprintf(out, "%.6f,%.6f,%s\n", lat, lon, Number("%.1f", s.speed).c_str());
        else
            std::fputs(",,\n", out);
    }
    return Finish(out);
}

bool WriteKml(std::FILE* out, const TrackEntry* first, const std::vector<DrivingEvent>& events,
              const std::string& name) {
    std::fprintf(out,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
                 "  <Document>\n    <name>%s</name>\n",
                 XmlText(name).c_str());
    double lat = 0;
    double lon = 0;
    int fixes = 0;
    for (const TrackEntry* e = first; e != nullptr && fixes < 2; e = e->next)
        fixes += FixDegrees(e->sample, &lat, &lon);
    // A line string needs two points at least.
    if (fixes == 2) {
        std::fputs(
            "    <Placemark>\n      <name>route</name>\n      <LineString>\n"
            "        <tessellate>1</tessellate>\n        <coordinates>\n",
            out);
        for (const TrackEntry* e = first; e != nullptr; e = e->next) {
            if (FixDegrees(e->sample, &lat, &lon))
                std::fprintf(out, "          %s\n", KmlCoordinates(lat, lon, e->sample).c_str());
        }
        std::fputs("        </coordinates>\n      </LineString>\n    </Placemark>\n", out);
    }
    for (const DrivingEvent& event : events) {
        const TrackSample& s = event.entry->sample;
        const UtcText utc(s);
        std::fprintf(out,
                     "    <Placemark>\n      <name>%s</name>\n"
                     "      <description>peak %.3f g, entry %d%s%s</description>\n",
                     DrivingEventName(event.kind), event.peak_g, event.entry->index,
                     utc.real() ? ", " : "", utc.c_str());
        if (utc.real())
            std::fprintf(out, "      <TimeStamp><when>%s</when></TimeStamp>\n", utc.c_str());
        if (FixDegrees(s, &lat, &lon)) {
            std::fprintf(out, "      <Point><coordinates>%s</coordinates></Point>\n",
                         KmlCoordinates(lat, lon, s).c_str());
        }
        std::fputs("    </Placemark>\n", out);
    }
    std::fputs("  </Document>\n</kml>\n", out);
    return Finish(out);
}
