#include "tools/vantrail-track/track_outputs.h"

#include <cmath>

#include "app/format.h"
#include "track/track.h"

namespace {
constexpr double kEarthRadiusKm = 6371.0088;  // mean radius
constexpr double kPi = 3.14159265358979323846;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

std::string UtcText(const TrackSample& s) {
    return FormatText("%04d-%02d-%02dT%02d:%02d:%02d.%02dZ", s.year + 1900, s.month + 1, s.day,
                      s.hour, s.minute, s.second, s.hundredths);
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
}  // namespace

double GreatCircleKm(double lat1, double lon1, double lat2, double lon2) {
    const double dlat = Radians(lat2 - lat1);
    const double dlon = Radians(lon2 - lon1);
    const double a =
        std::sin(dlat / 2) * std::sin(dlat / 2) +
        std::cos(Radians(lat1)) * std::cos(Radians(lat2)) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * kEarthRadiusKm * std::asin(std::sqrt(std::fmin(1.0, a)));
}

TrackSummary SummarizeTrack(const TrackEntry* first) {
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
    return summary;
}

std::string FormatSummary(const TrackSummary& s) {
    // One entry is one second of the recording.
    const int seconds = s.entries;
    return FormatText(
        "entries: %d\nvalid fixes: %d\nduration: %d:%02d:%02d\ndistance: %.3f km\n"
        "max speed: %.1f km/h\npeak acceleration: %.3f g\n",
        s.entries, s.valid_fixes, seconds / 3600, seconds / 60 % 60, seconds % 60, s.distance_km,
        s.max_speed_kmh, s.peak_g);
}

bool WriteGpx(std::FILE* out, const TrackEntry* first, const std::string& name) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"vantrail-track\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n"
        "  <trk>\n    <name>" +
        XmlEscape(name) + "</name>\n    <trkseg>\n";
    for (const TrackEntry* e = first; e != nullptr; e = e->next) {
        const TrackSample& s = e->sample;
        if (s.valid <= 0)
            continue;
        double lat = 0;
        double lon = 0;
        NmeaToDegrees(s.lat, s.lon, &lat, &lon);
        if (!std::isfinite(lat) || !std::isfinite(lon))
            continue;
        text += FormatText(
            "      <trkpt lat=\"%.8f\" lon=\"%.8f\">\n        <ele>%.10g</ele>\n"
            "        <time>%s</time>\n        <extensions><gpxtpx:TrackPointExtension>"
            "<gpxtpx:speed>%.10g</gpxtpx:speed><gpxtpx:course>%.10g</gpxtpx:course>"
            "</gpxtpx:TrackPointExtension></extensions>\n      </trkpt>\n",
            lat, lon, s.altitude, UtcText(s).c_str(), s.speed / 3.6, s.dir);
    }
    text += "    </trkseg>\n  </trk>\n</gpx>\n";
    return std::fwrite(text.data(), 1, text.size(), out) == text.size();
}

bool WriteCsv(std::FILE* out, const TrackEntry* first) {
    std::string text =
        "index,utc,valid,lat,lon,altitude,speed_kmh,course,x,y,z,satellites_in_view,"
        "satellites_in_use\n";
    for (const TrackEntry* e = first; e != nullptr; e = e->next) {
        const TrackSample& s = e->sample;
        double lat = 0;
        double lon = 0;
        NmeaToDegrees(s.lat, s.lon, &lat, &lon);
        text += FormatText("%d,%s,%d,%.8f,%.8f,%.10g,%.10g,%.10g,%.10g,%.10g,%.10g,%d,%d\n",
                           e->index, UtcText(s).c_str(), s.valid, lat, lon, s.altitude, s.speed,
                           s.dir, s.x, s.y, s.z, s.inview_no, s.inuse_no);
    }
    return std::fwrite(text.data(), 1, text.size(), out) == text.size();
}
