#pragma once
// The six sentence decoders: each clears its record, hands the sentence to on_sentence, walks
// its fields as its format says and applies its acceptance rule, reporting a rejection.

#include <cstddef>
#include <cstdint>

#include "track/track_sample.h"

// UTC date and time as the sentences carry it: years since 1900, months from 0.
struct NmeaTime {
    int32_t year;
    int32_t month;
    int32_t day;
    int32_t hour;
    int32_t minute;
    int32_t second;
    int32_t hundredths;
};

struct GgaRecord {
    NmeaTime time;  // time of day only
    double lat;
    char ns;
    double lon;
    char ew;
    int32_t quality;
    int32_t satellites;
    double hdop;
    double altitude;
    char altitude_unit;
    double geoid_separation;
    char geoid_unit;
    double dgps_age;
    int32_t dgps_station;
};

struct GsaRecord {
    char selection;
    int32_t fix_mode;
    int32_t prns[kMaxSatellites];  // the sentence fills the first 12
    double pdop;
    double hdop;
    double vdop;
};

struct GsvRecord {
    int32_t total;
    int32_t number;
    int32_t in_view;
    SatelliteSlot sats[4];  // used stays 0
};

struct RmcRecord {
    NmeaTime time;
    char status;
    double lat;
    char ns;
    double lon;
    char ew;
    double speed_knots;
    double course;
    double magnetic_variation;
    char variation_ew;
    char mode;
};

struct VtgRecord {
    double track_true;
    char t_unit;
    double track_magnetic;
    char m_unit;
    double speed_knots;
    char n_unit;
    double speed_kmh;
    char k_unit;
};

struct GsensorRecord {
    double x;
    double y;
    double z;
};

// The satellites a GSV message carries: four, or what is left of in_view for the last one.
int64_t SatellitesInMessage(int64_t number, int64_t in_view);

// "hhmmss" or "hhmmss.f..." (8 to 10 characters) into the time of day: 0, or -1.
int ParseNmeaTime(const char* text, size_t length, NmeaTime& time);

// Decoders of a whole sentence, "$" through the carriage return: 1 accepted, 0 rejected.
int ParseGga(const char* sentence, size_t length, GgaRecord& record);
int ParseGsa(const char* sentence, size_t length, GsaRecord& record);
int ParseGsv(const char* sentence, size_t length, GsvRecord& record);
int ParseRmc(const char* sentence, size_t length, RmcRecord& record);
int ParseVtg(const char* sentence, size_t length, VtgRecord& record);
int ParseGsensor(const char* sentence, size_t length, GsensorRecord& record);
