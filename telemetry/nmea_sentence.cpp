#include "telemetry/nmea_sentence.h"

#include <array>
#include <cmath>

#include "telemetry/point_time.h"
#include "track/sentence_framing.h"
#include "track/text_number.h"

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr size_t kMaxFields = 20;

// A checked sentence split at its commas; fields[0] is the address ("GNRMC").
struct Fields {
    std::array<std::string_view, kMaxFields> field;
    size_t count = 0;
};

// The fields of the sentence at the front of text, when its talker is a known one and its
// sentence type is type.
bool SplitSentence(std::string_view text, std::string_view type, Fields& fields) {
    std::string_view body = CheckedSentence(text);
    if (body.empty())
        return false;
    if (body.front() == '$')
        body.remove_prefix(1);
    body.remove_suffix(3);  // "*hh"
    for (size_t start = 0; fields.count < kMaxFields;) {
        const size_t comma = body.find(',', start);
        fields.field[fields.count++] = body.substr(start, comma - start);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    const std::string_view address = fields.field[0];
    if (address.size() != 5 || address.substr(2) != type)
        return false;
    const std::string_view talker = address.substr(0, 2);
    return talker == "GP" || talker == "GN" || talker == "GL" || talker == "GA" || talker == "BD";
}

// Exactly count digits.
bool ReadDigits(std::string_view field, size_t count, int& value) {
    if (field.size() != count)
        return false;
    value = 0;
    for (const char c : field) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// A plain decimal: a sign, digits and at most one point, nothing else.
bool ReadNumber(std::string_view field, double& value) {
    size_t i = !field.empty() && (field[0] == '-' || field[0] == '+') ? 1 : 0;
    bool digit = false;
    bool point = false;
    for (; i < field.size(); ++i) {
        if (IsDigit(field[i]))
            digit = true;
        else if (field[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    if (!digit)
        return false;
    value = ReadDecimal(field.data(), field.size());
    return true;
}

// "hhmmss" with an optional fraction, to the millisecond.
bool ReadTimeOfDay(std::string_view field, int& hour, int& minute, int& second, int& millisecond) {
    if (field.size() < 6 || !ReadDigits(field.substr(0, 2), 2, hour) ||
        !ReadDigits(field.substr(2, 2), 2, minute) || !ReadDigits(field.substr(4, 2), 2, second))
        return false;
    millisecond = 0;
    if (field.size() > 6) {
        if (field[6] != '.')
            return false;
        int scale = 100;
        for (const char c : field.substr(7)) {
            if (!IsDigit(c))
                return false;
            millisecond += (c - '0') * scale;
            scale /= 10;
        }
    }
    return hour < 24 && minute < 60 && second < 60;
}

// A coordinate field and its hemisphere field.
bool ReadCoordinate(std::string_view value, std::string_view hemisphere, char positive,
                    char negative, double limit, double& degrees) {
    double ddmm = 0;
    return ReadNumber(value, ddmm) && hemisphere.size() == 1 &&
           SignedDegrees(ddmm, hemisphere[0], positive, negative, limit, degrees);
}
}  // namespace

bool SignedDegrees(double ddmm, char hemisphere, char positive, char negative, double limit,
                   double& degrees) {
    if ((hemisphere != positive && hemisphere != negative) || !(ddmm >= 0) ||
        ddmm - std::trunc(ddmm / 100) * 100 >= 60)
        return false;
    degrees = DdmmToDegrees(ddmm);
    if (degrees > limit)
        return false;
    if (hemisphere == negative)
        degrees = -degrees;
    return true;
}

std::string_view CheckedSentence(std::string_view text) {
    const size_t body = !text.empty() && text[0] == '$' ? 1 : 0;
    unsigned checksum = 0;
    for (size_t i = body; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '*') {
            if (i == body || text.size() - i < 3)
                return {};
            const int high = HexDigit(text[i + 1]);
            const int low = HexDigit(text[i + 2]);
            if (high < 0 || low < 0 || unsigned(high * 16 + low) != checksum)
                return {};
            return text.substr(0, i + 3);
        }
        if (c == '$' || c == '\0' || c == '\r' || c == '\n')
            return {};
        checksum ^= static_cast<unsigned char>(c);
    }
    return {};
}

// $--RMC,hhmmss.ss,A,llll.ll,a,yyyyy.yy,a,x.x,x.x,ddmmyy,x.x,a[,m]*hh
bool ReadRmc(std::string_view text, TelemetryPoint& point) {
    Fields f;
    if (!SplitSentence(text, "RMC", f) || f.count < 10)
        return false;
    const std::string_view date = f.field[9];
    int hour, minute, second, millisecond, day, month, year;
    TelemetryTime time;
    // Two-digit years 00-89 are 2000-2089, as the .nmea loader reads them.
    if (ReadTimeOfDay(f.field[1], hour, minute, second, millisecond) && date.size() == 6 &&
        ReadDigits(date.substr(0, 2), 2, day) && ReadDigits(date.substr(2, 2), 2, month) &&
        ReadDigits(date.substr(4, 2), 2, year) &&
        CivilTime(year + (year < 90 ? 2000 : 1900), month, day, hour, minute, second, millisecond,
                  time))
        SetPointTime(point, time);
    // A mode field of N marks the fix as not valid, whatever the status says.
    point.valid = f.field[2] == "A" && (f.count < 13 || f.field[12] != "N") &&
                  ReadCoordinate(f.field[3], f.field[4], 'N', 'S', 90, point.lat) &&
                  ReadCoordinate(f.field[5], f.field[6], 'E', 'W', 180, point.lon);
    if (!point.valid) {
        point.lat = point.lon = 0;
        return point.has_time;
    }
    double value = 0;
    if (ReadNumber(f.field[7], value))
        point.speed_kmh = value * kKmhPerKnot;
    if (ReadNumber(f.field[8], value))
        point.course = value;
    return true;
}

// $--GGA,hhmmss.ss,llll.ll,a,yyyyy.yy,a,q,nn,h.h,a.a,M,...*hh
bool ReadGga(std::string_view text, GgaReading& gga) {
    Fields f;
    if (!SplitSentence(text, "GGA", f) || f.count < 10 ||
        !ReadTimeOfDay(f.field[1], gga.hour, gga.minute, gga.second, gga.millisecond))
        return false;
    double value = 0;
    if (ReadNumber(f.field[7], value) && value >= 0 && value < 100)
        gga.satellites = int(value);
    if (ReadNumber(f.field[9], value))
        gga.altitude = value;
    return true;
}
