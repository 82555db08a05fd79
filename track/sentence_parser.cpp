#include "track/sentence_parser.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <new>

#include "track/text_number.h"

namespace {
constexpr size_t kFieldMax = 256;  // a field this long or longer reads as zero
constexpr size_t kMinBuffer = 256;

void ReportError(const char* text) {
    const ParserSettings& settings = theParserSettings();
    if (settings.on_error)
        settings.on_error(text, static_cast<int>(std::strlen(text)));
}

void ReportSentence(const char* sentence, size_t length) {
    const ParserSettings& settings = theParserSettings();
    if (settings.on_sentence && length != 0) {
        settings.on_sentence(sentence, static_cast<int>(length));
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Most integer fields are a few plain digits; those skip the general reader.
int32_t ReadFieldInteger(const char* text, size_t length, int base) {
    if (base == 10 && length <= 9) {
        int32_t value = 0;
        size_t i = 0;
        for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i)
            value = value * 10 + (text[i] - '0');
        if (i == length)
            return value;
    }
    return ReadInteger(text, length, base);
}

int ScanFieldsV(const char* text, size_t length, const char* format, va_list args) {
    const char* in = text;
    const char* const end = text + length;
    const char* f = format;
    int count = 0;
    while (*f != '\0' && in < end) {
        if (*f != '%') {
            if (*f != *in)
                break;
            ++f;
            ++in;
            continue;
        }
        ++f;
        bool has_width = false;
        size_t width = 0;
        for (; *f >= '0' && *f <= '9'; ++f) {
            has_width = true;
            width = width * 10 + static_cast<size_t>(*f - '0');
        }
        const char letter = *f;
        if (letter == '\0')
            break;
        const char delimiter = *++f;  // '\0' when the letter ends the format
        const size_t left = static_cast<size_t>(end - in);
        size_t field;
        size_t digit_run = 0;  // leading plain digits of the field, up to nine
        uint32_t digits_value = 0;
        if (has_width) {
            if (left < width)
                break;
            field = width;
        } else if (letter == 'c' || letter == 'C') {
            field = (delimiter != '\0' && *in == delimiter) ? 0 : 1;
        } else if (delimiter == '\0') {
            field = left;
        } else {
            // Fields are short: a plain loop beats a call to memchr. Leading digits are read
            // on the way, which is the whole work for the usual integer field.
            while (digit_run < left && digit_run < 9 && in[digit_run] >= '0' &&
                   in[digit_run] <= '9') {
                digits_value = digits_value * 10 + static_cast<uint32_t>(in[digit_run] - '0');
                ++digit_run;
            }
            field = digit_run;
            while (field < left && in[field] != delimiter) ++field;
        }
        const char* const value = in;
        in += field;
        // An empty field stores nothing; an over-long one reads as zero.
        const bool store = field > 0;
        const bool zero = field >= kFieldMax;
        switch (letter) {
            case 'c':
            case 'C': {
                char* dest = va_arg(args, char*);
                if (store)
                    *dest = zero ? '\0' : *value;
                break;
            }
            case 'e':
            case 'f':
            case 'g':
            case 'E':
            case 'G': {
                double* dest = va_arg(args, double*);
                if (store)
                    *dest = zero ? 0.0 : ReadDecimal(value, field);
                break;
            }
            case 's':
            case 'S': {
                char* dest = va_arg(args, char*);
                if (store) {
                    const size_t copied = zero ? 0 : field;
                    std::memcpy(dest, value, copied);
                    dest[copied] = '\0';
                }
                break;
            }
            case 'd':
            case 'i':
            case 'u':
            case 'x':
            case 'X':
            case 'o': {
                int32_t* dest = va_arg(args, int32_t*);
                const int base = letter == 'o' ? 8 : (letter == 'x' || letter == 'X') ? 16 : 10;
                if (store && base == 10 && digit_run == field) {
                    *dest = static_cast<int32_t>(digits_value);
                } else if (store) {
                    *dest = zero ? 0 : ReadFieldInteger(value, field, base);
                }
                break;
            }
            default:
                return count;
        }
        ++count;
    }
    return count;
}

// first = 4 (m - 1); a message carries four satellites unless it is the last one.
int64_t SatellitesInMessage(int64_t number, int64_t in_view) {
    const int64_t first = 4 * (number - 1);
    return first + 4 > in_view ? in_view - first : 4;
}

void ApplyPosition(double lat, char ns, double lon, char ew, TrackSample& sample) {
    sample.lat = ns == 'N' ? lat : -lat;
    sample.lon = ew == 'E' ? lon : -lon;
}

void Apply(const GgaRecord& r, TrackSample& sample) {
    sample.hour = r.time.hour;
    sample.minute = r.time.minute;
    sample.second = r.time.second;
    sample.hundredths = r.time.hundredths;
    sample.valid = r.quality;
    sample.hdop = r.hdop;
    sample.altitude = r.altitude;
    ApplyPosition(r.lat, r.ns, r.lon, r.ew, sample);
    sample.sentences |= kSentenceGga;
}

void Apply(const GsaRecord& r, TrackSample& sample) {
    sample.fix_mode = r.fix_mode;
    sample.pdop = r.pdop;
    sample.hdop = r.hdop;
    sample.vdop = r.vdop;
    const int slots = sample.inview_no < kMaxSatellites ? sample.inview_no : kMaxSatellites;
    int in_use = 0;
    for (const int32_t prn : r.prns) {
        if (prn == 0)
            continue;
        for (int j = 0; j < slots; ++j) {
            if (sample.sats[j].prn == prn) {
                sample.sats[j].used = 1;
                ++in_use;
            }
        }
    }
    sample.inuse_no = in_use;
    sample.sentences |= kSentenceGsa;
}

void Apply(const GsvRecord& r, TrackSample& sample) {
    int64_t number = r.number;
    if (number > r.total || 4 * number > kMaxSatellites)
        return;
    if (number < 1)
        number = 1;
    sample.inview_no = r.in_view;
    const int64_t first = 4 * (number - 1);
    const int64_t n = SatellitesInMessage(number, r.in_view);
    for (int64_t k = 0; k < n; ++k) {
        SatelliteSlot& slot = sample.sats[first + k];
        slot.prn = r.sats[k].prn;
        slot.elevation = r.sats[k].elevation;
        slot.azimuth = r.sats[k].azimuth;
        slot.snr = r.sats[k].snr;
    }
    sample.sentences |= kSentenceGsv;
}

void Apply(const RmcRecord& r, TrackSample& sample) {
    if (r.status == 'A') {
        if (sample.valid == 0)
            sample.valid = 2;
        if (sample.fix_mode == 1)
            sample.fix_mode = 2;
    } else if (r.status == 'V') {
        sample.valid = 0;
        sample.fix_mode = 1;
    }
    sample.year = r.time.year;
    sample.month = r.time.month;
    sample.day = r.time.day;
    sample.hour = r.time.hour;
    sample.minute = r.time.minute;
    sample.second = r.time.second;
    sample.hundredths = r.time.hundredths;
    ApplyPosition(r.lat, r.ns, r.lon, r.ew, sample);
    sample.speed = r.speed_knots * 1.852;
    sample.dir = r.course;
    sample.sentences |= kSentenceRmc;
}

void Apply(const VtgRecord& r, TrackSample& sample) {
    sample.dir = r.track_true;
    sample.mag_dir = r.track_magnetic;
    sample.speed = r.speed_kmh;
    sample.sentences |= kSentenceVtg;
}

void Apply(const GsensorRecord& r, TrackSample& sample) {
    sample.x = r.x;
    sample.y = r.y;
    sample.z = r.z;
    sample.sentences |= kSentenceGsensor;
}

// Decodes straight into the sample when there is one, else into a new queue item of the
// record's type (dropped again when the decoder rejects the sentence).
template <typename Record>
bool DecodeInto(std::vector<DecodedSentence>& queue, TrackSample* apply_to, SentenceKind kind,
                int (*parse)(const char*, size_t, Record&), const char* sentence, size_t length) {
    if (apply_to != nullptr) {
        Record record;
        if (parse(sentence, length, record) != 1)
            return false;
        Apply(record, *apply_to);
        return true;
    }
    DecodedSentence& item =
        queue.emplace_back(DecodedSentence{kind, SentenceRecord(std::in_place_type<Record>)});
    if (parse(sentence, length, std::get<Record>(item.record)) == 1)
        return true;
    queue.pop_back();
    return false;
}
}  // namespace

ParserSettings& theParserSettings() {
    static ParserSettings settings;
    return settings;
}

FrameResult FrameSentence(const char* bytes, size_t count) {
    if (count < 2)
        return {0, false};
    const char* body = bytes + 1;
    const size_t body_length = count - 1;
    const void* star_hit = std::memchr(body, '*', body_length);
    const size_t star = star_hit != nullptr
                            ? static_cast<size_t>(static_cast<const char*>(star_hit) - body) + 1
                            : count;
    // A later "$" before the "*" starts a new sentence.
    if (const void* dollar = std::memchr(body, '$', star - 1)) {
        return {static_cast<size_t>(static_cast<const char*>(dollar) - body) + 1, false};
    }
    if (star == count || count - star < 5)
        return {0, false};
    if (bytes[star + 3] != '\n' || bytes[star + 4] != '\r')
        return {0, false};
    unsigned char checksum = 0;
    for (size_t i = 1; i < star; ++i) checksum ^= static_cast<unsigned char>(bytes[i]);
    unsigned given = 0;
    for (size_t i = star + 1; i < star + 3; ++i) {
        const int digit = HexDigit(bytes[i]);
        if (digit < 0)
            break;
        given = given * 16 + static_cast<unsigned>(digit);
    }
    return {star + 5, given == checksum || given == 0};
}

SentenceKind ClassifySentence(const char* bytes, size_t count) {
    static constexpr struct {
        const char* letters;
        SentenceKind kind;
    } kKinds[] = {{"GPGGA", kSentenceGga}, {"GPGSA", kSentenceGsa}, {"GPGSV", kSentenceGsv},
                  {"GPRMC", kSentenceRmc}, {"GPVTG", kSentenceVtg}, {"GSENS", kSentenceGsensor}};
    if (count < 5)
        return kSentenceNone;
    for (const auto& k : kKinds) {
        if (std::memcmp(bytes, k.letters, 5) == 0)
            return k.kind;
    }
    return kSentenceNone;
}

int ScanFields(const char* text, size_t length, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int count = ScanFieldsV(text, length, format, args);
    va_end(args);
    return count;
}

int ParseNmeaTime(const char* text, size_t length, NmeaTime& time) {
    switch (length) {
        case 6:
            return ScanFields(text, length, "%2d%2d%2d", &time.hour, &time.minute, &time.second) ==
                           3
                       ? 0
                       : -1;
        case 8:
        case 9:
        case 10:
            return ScanFields(text, length, "%2d%2d%2d.%d", &time.hour, &time.minute, &time.second,
                              &time.hundredths) == 4
                       ? 0
                       : -1;
        default:
            ReportError("Parse of time error (format error)!");
            return -1;
    }
}

int ParseGga(const char* sentence, size_t length, GgaRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    char time_text[kFieldMax] = "";
    const int count = ScanFields(
        sentence, length, "$GPGGA,%s,%f,%C,%f,%C,%d,%d,%f,%f,%C,%f,%C,%f,%d*", time_text, &r.lat,
        &r.ns, &r.lon, &r.ew, &r.quality, &r.satellites, &r.hdop, &r.altitude, &r.altitude_unit,
        &r.geoid_separation, &r.geoid_unit, &r.dgps_age, &r.dgps_station);
    if (count != 14) {
        ReportError("GPGGA parse error!");
        return 0;
    }
    if (ParseNmeaTime(time_text, std::strlen(time_text), r.time) != 0) {
        ReportError("GPGGA time parse error!");
        return 0;
    }
    return 1;
}

int ParseGsa(const char* sentence, size_t length, GsaRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    int32_t* p = r.prns;
    const int count =
        ScanFields(sentence, length, "$GPGSA,%C,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%f,%f,%f*",
                   &r.selection, &r.fix_mode, p, p + 1, p + 2, p + 3, p + 4, p + 5, p + 6, p + 7,
                   p + 8, p + 9, p + 10, p + 11, &r.pdop, &r.hdop, &r.vdop);
    if (count != 17) {
        ReportError("GPGSA parse error!");
        return 0;
    }
    return 1;
}

int ParseGsv(const char* sentence, size_t length, GsvRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    SatelliteSlot* s = r.sats;
    const int count = ScanFields(
        sentence, length, "$GPGSV,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d*",
        &r.total, &r.number, &r.in_view, &s[0].prn, &s[0].elevation, &s[0].azimuth, &s[0].snr,
        &s[1].prn, &s[1].elevation, &s[1].azimuth, &s[1].snr, &s[2].prn, &s[2].elevation,
        &s[2].azimuth, &s[2].snr, &s[3].prn, &s[3].elevation, &s[3].azimuth, &s[3].snr);
    // The format has 19 conversions, so the count never reaches 20.
    if (count < 4 * SatellitesInMessage(r.number, r.in_view) + 3) {
        ReportError("GPGSV parse error!");
        return 0;
    }
    return 1;
}

int ParseRmc(const char* sentence, size_t length, RmcRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    char time_text[kFieldMax] = "";
    const int count = ScanFields(
        sentence, length, "$GPRMC,%s,%C,%f,%C,%f,%C,%f,%f,%2d%2d%2d,%f,%C,%C*", time_text,
        &r.status, &r.lat, &r.ns, &r.lon, &r.ew, &r.speed_knots, &r.course, &r.time.day,
        &r.time.month, &r.time.year, &r.magnetic_variation, &r.variation_ew, &r.mode);
    if (count != 13 && count != 14) {
        ReportError("GPRMC parse error!");
        return 0;
    }
    if (ParseNmeaTime(time_text, std::strlen(time_text), r.time) != 0) {
        ReportError("GPRMC time parse error!");
        return 0;
    }
    if (r.time.year < 90)
        r.time.year += 100;  // two-digit years 00-89 are 2000-2089
    r.time.month -= 1;
    return 1;
}

int ParseVtg(const char* sentence, size_t length, VtgRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    const int count = ScanFields(sentence, length, "$GPVTG,%f,%C,%f,%C,%f,%C,%f,%C*", &r.track_true,
                                 &r.t_unit, &r.track_magnetic, &r.m_unit, &r.speed_knots, &r.n_unit,
                                 &r.speed_kmh, &r.k_unit);
    if (count != 8) {
        ReportError("GPVTG parse error!");
        return 0;
    }
    if (r.t_unit != 'T' || r.m_unit != 'M' || r.n_unit != 'N' || r.k_unit != 'K') {
        ReportError("GPVTG parse error (format error)!");
        return 0;
    }
    return 1;
}

int ParseGsensor(const char* sentence, size_t length, GsensorRecord& r) {
    r = {};
    ReportSentence(sentence, length);
    int count;
    if (length > 8 && sentence[8] == 'D') {
        count = ScanFields(sentence, length, "$GSENSORD,%f,%f,%f", &r.x, &r.y, &r.z);
    } else {
        int32_t milli[3] = {};
        count = ScanFields(sentence, length, "$GSENSOR,%d,%d,%d", &milli[0], &milli[1], &milli[2]);
        r.x = milli[0] * 0.001;
        r.y = milli[1] * 0.001;
        r.z = milli[2] * 0.001;
    }
    if (count != 3) {
        ReportError("GSENSOR parse error!");
        return 0;
    }
    return 1;
}

bool SentenceParser::Open() {
    Close();
    const int wanted = theParserSettings().buffer_size;
    capacity_ = wanted > static_cast<int>(kMinBuffer) ? static_cast<size_t>(wanted) : kMinBuffer;
    buffer_.reset(new (std::nothrow) char[capacity_]);
    if (!buffer_) {
        capacity_ = 0;
        ReportError("Insufficient memory!");
        return false;
    }
    return true;
}

void SentenceParser::Close() {
    buffer_.reset();
    capacity_ = 0;
    fill_ = 0;
    queue_.clear();
    head_ = 0;
    out_of_memory_ = false;
}

int SentenceParser::Feed(const char* bytes, size_t count) {
    if (!buffer_)
        return -1;
    size_t consumed = 0;
    while (count > 0) {
        const size_t chunk = count < capacity_ ? count : capacity_;
        consumed += FeedChunk(bytes, chunk);
        if (out_of_memory_) {
            out_of_memory_ = false;
            return -1;
        }
        bytes += chunk;
        count -= chunk;
    }
    return static_cast<int>(consumed);
}

size_t SentenceParser::FeedChunk(const char* bytes, size_t count) {
    if (fill_ + count >= capacity_)
        fill_ = 0;
    if (fill_ == 0) {
        // Nothing buffered: frame straight from the input and keep only the rest.
        const size_t used = FrameAll(bytes, count);
        fill_ = count - used;
        std::memcpy(buffer_.get(), bytes + used, fill_);
        return used;
    }
    std::memcpy(buffer_.get() + fill_, bytes, count);
    fill_ += count;
    const size_t used = FrameAll(buffer_.get(), fill_);
    fill_ -= used;
    std::memmove(buffer_.get(), buffer_.get() + used, fill_);
    return used;
}

size_t SentenceParser::FrameAll(const char* bytes, size_t count) {
    size_t position = 0;
    while (position < count) {
        const FrameResult frame = FrameSentence(bytes + position, count - position);
        if (frame.length == 0)
            break;
        if (frame.accepted) {
            const char* sentence = bytes + position;
            const SentenceKind kind = ClassifySentence(sentence + 1, frame.length - 1);
            if (kind != kSentenceNone) {
                if (Decode(kind, sentence, frame.length)) {
                    ++decoded_;
                } else if (out_of_memory_) {
                    break;
                }
            }
        }
        position += frame.length;
    }
    return position;
}

bool SentenceParser::Decode(SentenceKind kind, const char* sentence, size_t length) {
    if (head_ == queue_.size()) {
        queue_.clear();
        head_ = 0;
    }
    try {
        switch (kind) {
            case kSentenceGga:
                return DecodeInto(queue_, apply_to_, kind, ParseGga, sentence, length);
            case kSentenceGsa:
                return DecodeInto(queue_, apply_to_, kind, ParseGsa, sentence, length);
            case kSentenceGsv:
                return DecodeInto(queue_, apply_to_, kind, ParseGsv, sentence, length);
            case kSentenceRmc:
                return DecodeInto(queue_, apply_to_, kind, ParseRmc, sentence, length);
            case kSentenceVtg:
                return DecodeInto(queue_, apply_to_, kind, ParseVtg, sentence, length);
            case kSentenceGsensor:
                return DecodeInto(queue_, apply_to_, kind, ParseGsensor, sentence, length);
            case kSentenceNone:
                break;
        }
    } catch (const std::bad_alloc&) {
        ReportError("Insufficient memory!");
        out_of_memory_ = true;
    }
    return false;
}

int SentenceParser::FeedAndApply(const char* bytes, size_t count, TrackSample& sample) {
    apply_to_ = &sample;
    decoded_ = 0;
    Feed(bytes, count);
    apply_to_ = nullptr;
    return decoded_;
}

const DecodedSentence* SentenceParser::PopItem() {
    return head_ == queue_.size() ? nullptr : &queue_[head_++];
}

SentenceKind SentenceParser::Pop(SentenceRecord* record) {
    const DecodedSentence* item = PopItem();
    if (item == nullptr)
        return kSentenceNone;
    if (record != nullptr)
        *record = item->record;
    return item->kind;
}

void ApplySentence(const SentenceRecord& record, TrackSample& sample) {
    std::visit([&sample](const auto& r) { Apply(r, sample); }, record);
}

int ApplySentences(SentenceParser& parser, const char* bytes, size_t count, TrackSample& sample) {
    // Sentences queued by earlier feeds come first; then the new ones, applied as decoded,
    // which is the same as queuing them and applying the queue.
    int applied = 0;
    while (const DecodedSentence* item = parser.PopItem()) {
        ApplySentence(item->record, sample);
        ++applied;
    }
    return applied + parser.FeedAndApply(bytes, count, sample);
}
