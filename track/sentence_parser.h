#pragma once
// The log's sentence parser: a framer that finds checksummed sentences in a byte stream, a
// classifier, a scanf-like field scanner, one decoder per sentence kind, and the rules that
// fold decoded sentences into the sample being accumulated.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "track/track_sample.h"

// Process-wide parser settings. Nothing in the player installs the callbacks; tests do.
struct ParserSettings {
    // Every sentence handed to a decoder (bytes from "$" through the carriage return).
    std::function<void(const char* bytes, int length)> on_sentence;
    // Each error message, at most 1023 characters.
    std::function<void(const char* text, int length)> on_error;
    int buffer_size = 1024;
};
ParserSettings& theParserSettings();

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

using SentenceRecord =
    std::variant<GgaRecord, GsaRecord, GsvRecord, RmcRecord, VtgRecord, GsensorRecord>;

struct DecodedSentence {
    SentenceKind kind;
    SentenceRecord record;
};

struct FrameResult {
    size_t length;  // 0: no complete sentence yet
    bool accepted;  // checksum matched (or was 00)
};

// Framing of one sentence; the first byte is taken to be its "$" and is not examined.
FrameResult FrameSentence(const char* bytes, size_t count);

// The bytes after the "$" to a kind, or kSentenceNone.
SentenceKind ClassifySentence(const char* bytes, size_t count);

// scanf-like scanning of length bytes (never taken as terminated text). Destinations:
// c/C char*, e/f/g/E/G double*, s/S char[256], d/i/u/x/X/o int32_t*. Returns the number of
// conversions, empty fields included.
int ScanFields(const char* text, size_t length, const char* format, ...);

// "hhmmss" or "hhmmss.f..." (8 to 10 characters) into the time of day: 0, or -1.
int ParseNmeaTime(const char* text, size_t length, NmeaTime& time);

// Decoders: 1 accepted, 0 rejected.
int ParseGga(const char* sentence, size_t length, GgaRecord& record);
int ParseGsa(const char* sentence, size_t length, GsaRecord& record);
int ParseGsv(const char* sentence, size_t length, GsvRecord& record);
int ParseRmc(const char* sentence, size_t length, RmcRecord& record);
int ParseVtg(const char* sentence, size_t length, VtgRecord& record);
int ParseGsensor(const char* sentence, size_t length, GsensorRecord& record);

// One per log being read: the buffer of bytes not yet framed and the queue of decoded
// sentences not yet applied.
class SentenceParser {
public:
    SentenceParser() = default;
    SentenceParser(const SentenceParser&) = delete;
    SentenceParser& operator=(const SentenceParser&) = delete;
    ~SentenceParser() { Close(); }

    // Allocates the buffer; false (after "Insufficient memory!") when it cannot be had.
    bool Open();
    // Releases the buffer and every queued sentence.
    void Close();

    // Bytes consumed, or -1 on exhausted memory.
    int Feed(const char* bytes, size_t count);
    // The oldest decoded sentence; kSentenceNone when the queue is empty.
    SentenceKind Pop(SentenceRecord* record);
    // The same without a copy: the item stays valid until the next Feed.
    const DecodedSentence* PopItem();
    // Feed, with each decoded sentence applied to sample at once instead of queued. Returns
    // the number applied.
    int FeedAndApply(const char* bytes, size_t count, TrackSample& sample);

    size_t Fill() const { return fill_; }

private:
    size_t FeedChunk(const char* bytes, size_t count);
    size_t FrameAll(const char* bytes, size_t count);
    bool Decode(SentenceKind kind, const char* sentence, size_t length);

    std::unique_ptr<char[]> buffer_;
    size_t capacity_ = 0;
    size_t fill_ = 0;
    std::vector<DecodedSentence> queue_;
    size_t head_ = 0;
    bool out_of_memory_ = false;
    TrackSample* apply_to_ = nullptr;
    int decoded_ = 0;
};

// Applies one decoded sentence to a sample.
void ApplySentence(const SentenceRecord& record, TrackSample& sample);

// Feeds the bytes, applies every decoded sentence in order and empties the queue. Returns the
// number applied.
int ApplySentences(SentenceParser& parser, const char* bytes, size_t count, TrackSample& sample);
