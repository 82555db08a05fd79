#include "track/track_outputs.h"

#include <cmath>

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
class UtcText {
public:
    explicit UtcText(const TrackSample& s) {
        std::snprintf(text_, sizeof text_, "%04d-%02d-%02dT%02d:%02d:%02d.%02dZ", s.year + 1900,
                      s.month + 1, s.day, s.hour, s.minute, s.second, s.hundredths);
    }
    const char* c_str() const { return text_; }

private:
    char text_[96];
};

// A usable position in decimal degrees: a valid fix that converts to finite numbers.
bool FixDegrees(const TrackSample& s, double* lat, double* lon) {
    if (s.valid <= 0)
        return false;
    NmeaToDegrees(s.lat, s.lon, lat, lon);
    return std::isfinite(*lat) && std::isfinite(*lon);
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (const char c : text) {
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
                out.push_back(c);
        }
    }
    return out;
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
        summary.max_speed_kmh = std::fmax(summary.max_speed_kmh, s.speed);
        summary.peak_g = std::fmax(summary.peak_g, std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z));
        if (s.valid <= 0)
            continue;
        ++summary.valid_fixes;
        double lat = 0;
        double lon = 0;
        NmeaToDegrees(s.lat, s.lon, &lat, &lon);
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
                 XmlEscape(name).c_str());
    for (const TrackEntry* e = first; e != nullptr; e = e->next) {
        const TrackSample& s = e->sample;
        double lat = 0;
        double lon = 0;
        if (!FixDegrees(s, &lat, &lon))
            continue;
        std::fprintf(out,
                     "      <trkpt lat=\"%.8f\" lon=\"%.8f\">\n        <ele>%.10g</ele>\n"
                     "        <time>%s</time>\n        <extensions><gpxtpx:TrackPointExtension>"
                     "<gpxtpx:speed>%.10g</gpxtpx:speed><gpxtpx:course>%.10g</gpxtpx:course>"
                     "</gpxtpx:TrackPointExtension></extensions>\n      </trkpt>\n",
                     lat, lon, s.altitude, UtcText(s).c_str(), s.speed / 3.6, s.dir);
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
        std::fprintf(out, "%d,%s,%d,%.8f,%.8f,%.10g,%.10g,%.10g,%.10g,%.10g,%.10g,%d,%d\n",
                     e->index, UtcText(s).c_str(), s.valid, lat, lon, s.altitude, s.speed, s.dir,
                     s.x, s.y, s.z, s.inview_no, s.inuse_no);
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
            std::fprintf(out, "%.6f,%.6f,%.1f\n", lat, lon, s.speed);
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
                 XmlEscape(name).c_str());
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
                std::fprintf(out, "          %.6f,%.6f,%.10g\n", lon, lat, e->sample.altitude);
        }
        std::fputs("        </coordinates>\n      </LineString>\n    </Placemark>\n", out);
    }
    for (const DrivingEvent& event : events) {
        const TrackSample& s = event.entry->sample;
        const UtcText utc(s);
        std::fprintf(out,
                     "    <Placemark>\n      <name>%s</name>\n"
                     "      <description>peak %.3f g, entry %d, %s</description>\n"
                     "      <TimeStamp><when>%s</when></TimeStamp>\n",
                     DrivingEventName(event.kind), event.peak_g, event.entry->index, utc.c_str(),
                     utc.c_str());
        if (FixDegrees(s, &lat, &lon)) {
            std::fprintf(out, "      <Point><coordinates>%.6f,%.6f,%.10g</coordinates></Point>\n",
                         lon, lat, s.altitude);
        }
        std::fputs("    </Placemark>\n", out);
    }
    std::fputs("  </Document>\n</kml>\n", out);
    return Finish(out);
}
