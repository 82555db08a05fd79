#include "track/sentence_decoders.h"

#include <string_view>

#include "track/field_scanner.h"
#include "track/parser_settings.h"

namespace {
// The time text of GGA and RMC, which starts empty, so an empty field fails as a time.
int ParseTimeText(std::string_view text, NmeaTime& time) {
    return ParseNmeaTime(text.data(), text.size(), time);
}

// A decoder's rejection: the error goes to the parser's callback.
int Reject(const char* error) {
    ReportParserError(error);
    return 0;
}
}  // namespace

int64_t SatellitesInMessage(int64_t number, int64_t in_view) {
    const int64_t first = 4 * (number - 1);
    return first + 4 > in_view ? in_view - first : 4;
}

int ParseNmeaTime(const char* text, size_t length, NmeaTime& time) {
    FieldScanner s(text, length);
    switch (length) {
        case 6:
            s.Int2(time.hour);
            s.Int2(time.minute);
            s.Int2(time.second);
            return s.Count() == 3 ? 0 : -1;
        case 8:
        case 9:
        case 10:
            s.Int2(time.hour);
            s.Int2(time.minute);
            s.Int2(time.second);
            s.Literal('.');
            s.Int(time.hundredths, '\0');
            return s.Count() == 4 ? 0 : -1;
        default:
            ReportParserError("Parse of time error (format error)!");
            return -1;
    }
}

// "$GPGGA,%s,%f,%C,%f,%C,%d,%d,%f,%f,%C,%f,%C,%f,%d*"
int ParseGga(const char* sentence, size_t length, GgaRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    FieldScanner s(sentence, length);
    std::string_view time;
    s.Literal("$GPGGA,");
    s.Text(time, ',');
    s.Double(r.lat, ',');
    s.Char(r.ns, ',');
    s.Double(r.lon, ',');
    s.Char(r.ew, ',');
    s.Int(r.quality, ',');
    s.Int(r.satellites, ',');
    s.Double(r.hdop, ',');
    s.Double(r.altitude, ',');
    s.Char(r.altitude_unit, ',');
    s.Double(r.geoid_separation, ',');
    s.Char(r.geoid_unit, ',');
    s.Double(r.dgps_age, ',');
    s.Int(r.dgps_station, '*');
    if (s.Count() != 14)
        return Reject("GPGGA parse error!");
    if (ParseTimeText(time, r.time) != 0)
        return Reject("GPGGA time parse error!");
    return 1;
}

// "$GPGSA,%C,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%f,%f,%f*"
int ParseGsa(const char* sentence, size_t length, GsaRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    FieldScanner s(sentence, length);
    s.Literal("$GPGSA,");
    s.Char(r.selection, ',');
    s.Int(r.fix_mode, ',');
    for (int i = 0; i < 12; ++i) s.Int(r.prns[i], ',');
    s.Double(r.pdop, ',');
    s.Double(r.hdop, ',');
    s.Double(r.vdop, '*');
    if (s.Count() != 17)
        return Reject("GPGSA parse error!");
    return 1;
}

// "$GPGSV,%d,%d,%d" and "%d,%d,%d,%d" four times, the last one ending in "*"
int ParseGsv(const char* sentence, size_t length, GsvRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    FieldScanner s(sentence, length);
    s.Literal("$GPGSV,");
    s.Int(r.total, ',');
    s.Int(r.number, ',');
    s.Int(r.in_view, ',');
    for (int k = 0; k < 4; ++k) {
        s.Int(r.sats[k].prn, ',');
        s.Int(r.sats[k].elevation, ',');
        s.Int(r.sats[k].azimuth, ',');
        s.Int(r.sats[k].snr, k < 3 ? ',' : '*');
    }
    // 19 conversions at most, so the count never reaches 20.
    if (s.Count() < 4 * SatellitesInMessage(r.number, r.in_view) + 3)
        return Reject("GPGSV parse error!");
    return 1;
}

// "$GPRMC,%s,%C,%f,%C,%f,%C,%f,%f,%2d%2d%2d,%f,%C,%C*"
int ParseRmc(const char* sentence, size_t length, RmcRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    FieldScanner s(sentence, length);
    std::string_view time;
    s.Literal("$GPRMC,");
    s.Text(time, ',');
    s.Char(r.status, ',');
    s.Double(r.lat, ',');
    s.Char(r.ns, ',');
    s.Double(r.lon, ',');
    s.Char(r.ew, ',');
    s.Double(r.speed_knots, ',');
    s.Double(r.course, ',');
    s.Int2(r.time.day);
    s.Int2(r.time.month);
    s.Int2(r.time.year);
    s.Literal(',');
    s.Double(r.magnetic_variation, ',');
    s.Char(r.variation_ew, ',');
    s.Char(r.mode, '*');
    if (s.Count() != 13 && s.Count() != 14)
        return Reject("GPRMC parse error!");
    if (ParseTimeText(time, r.time) != 0)
        return Reject("GPRMC time parse error!");
    if (r.time.year < 90)
        r.time.year += 100;  // two-digit years 00-89 are 2000-2089
    r.time.month -= 1;
    return 1;
}

// "$GPVTG,%f,%C,%f,%C,%f,%C,%f,%C*"
int ParseVtg(const char* sentence, size_t length, VtgRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    FieldScanner s(sentence, length);
    s.Literal("$GPVTG,");
    s.Double(r.track_true, ',');
    s.Char(r.t_unit, ',');
    s.Double(r.track_magnetic, ',');
    s.Char(r.m_unit, ',');
    s.Double(r.speed_knots, ',');
    s.Char(r.n_unit, ',');
    s.Double(r.speed_kmh, ',');
    s.Char(r.k_unit, '*');
    if (s.Count() != 8)
        return Reject("GPVTG parse error!");
    if (r.t_unit != 'T' || r.m_unit != 'M' || r.n_unit != 'N' || r.k_unit != 'K')
        return Reject("GPVTG parse error (format error)!");
    return 1;
}

// "$GSENSOR,%d,%d,%d" (milli-g), or "$GSENSORD,%f,%f,%f" when the ninth character is 'D'
int ParseGsensor(const char* sentence, size_t length, GsensorRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    FieldScanner s(sentence, length);
    if (length > 8 && sentence[8] == 'D') {
        s.Literal("$GSENSORD,");
        s.Double(r.x, ',');
        s.Double(r.y, ',');
        s.Double(r.z, '\0');
    } else {
        int32_t milli[3] = {};
        s.Literal("$GSENSOR,");
        s.Int(milli[0], ',');
        s.Int(milli[1], ',');
        s.Int(milli[2], '\0');
        r.x = milli[0] * 0.001;
        r.y = milli[1] * 0.001;
        r.z = milli[2] * 0.001;
    }
    if (s.Count() != 3)
        return Reject("GSENSOR parse error!");
    return 1;
}
