#pragma once
// One second of a recording's log, and the track that strings the seconds together.

#include <cstdint>

// One bit per understood sentence; the same bits record in a sample what filled it.
enum SentenceKind : uint32_t {
    kSentenceNone = 0,
    kSentenceGga = 1,
    kSentenceGsa = 2,
    kSentenceGsv = 4,
    kSentenceRmc = 8,
    kSentenceVtg = 16,
    kSentenceGsensor = 32,
};

inline constexpr int kMaxSatellites = 24;

struct SatelliteSlot {
    int32_t prn;
    int32_t used;  // 1 when the GSA sentence lists the PRN
    int32_t elevation;
    int32_t azimuth;
    int32_t snr;  // dB-Hz, 0 when none
};

struct TrackSample {
    uint32_t sentences;
    int32_t year;   // years since 1900
    int32_t month;  // 0-11
    int32_t day;
    int32_t hour;
    int32_t minute;
    int32_t second;
    int32_t hundredths;
    int32_t valid;  // fix quality; above 0 is a usable position
    int32_t fix_mode;
    double pdop;
    double hdop;
    double vdop;
    double lat;  // NMEA form ddmm.mmmm, negative south
    double lon;  // NMEA form dddmm.mmmm, negative west
    double altitude;
    double speed;  // km/h
    double dir;    // course, degrees true
    double mag_dir;
    double x;  // acceleration, g
    double y;
    double z;
    int32_t inuse_no;
    int32_t inview_no;
    SatelliteSlot sats[kMaxSatellites];
};

// A track is a singly linked list; an empty track is a null first entry.
struct TrackEntry {
    int32_t index;  // sequence number from 0: the playing second
    TrackSample sample;
    TrackEntry* next;
};
