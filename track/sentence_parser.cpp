#include "track/sentence_parser.h"

#include <cstring>
#include <new>

#include "track/parser_settings.h"
#include "track/sample_rules.h"
#include "track/sentence_decoders.h"
#include "track/sentence_framing.h"

namespace {
constexpr size_t kMinBuffer = 256;

template <typename Record>
int DecodeInto(int (*parse)(const char*, size_t, Record&), const char* sentence, size_t length,
               TrackSample& sample) {
    Record record;
    if (parse(sentence, length, record) != 1)
        return 0;
    ApplySentence(record, sample);
    return 1;
}
}  // namespace

int DecodeAndApply(const char* sentence, size_t length, TrackSample& sample) {
    switch (ClassifySentence(sentence + 1, length - 1)) {
        case kSentenceGga:
            return DecodeInto(ParseGga, sentence, length, sample);
        case kSentenceGsa:
            return DecodeInto(ParseGsa, sentence, length, sample);
        case kSentenceGsv:
            return DecodeInto(ParseGsv, sentence, length, sample);
        case kSentenceRmc:
            return DecodeInto(ParseRmc, sentence, length, sample);
        case kSentenceVtg:
            return DecodeInto(ParseVtg, sentence, length, sample);
        case kSentenceGsensor:
            return DecodeInto(ParseGsensor, sentence, length, sample);
        case kSentenceNone:
            break;
    }
    return 0;
}

bool SentenceParser::Open() {
    Close();
    const int wanted = theParserSettings().buffer_size;
    capacity_ = wanted > static_cast<int>(kMinBuffer) ? static_cast<size_t>(wanted) : kMinBuffer;
    buffer_.reset(new (std::nothrow) char[capacity_]);
    if (!buffer_) {
        capacity_ = 0;
        ReportParserError("Insufficient memory!");
        return false;
    }
    return true;
}

void SentenceParser::Close() {
    buffer_.reset();
    capacity_ = 0;
    fill_ = 0;
}

int SentenceParser::ApplySentences(const char* bytes, size_t count, TrackSample& sample) {
    if (!buffer_)
        return 0;
    int applied = 0;
    while (count > 0) {
        const size_t chunk = count < capacity_ ? count : capacity_;
        applied += FeedChunk(bytes, chunk, sample);
        bytes += chunk;
        count -= chunk;
    }
    return applied;
}

int SentenceParser::ApplySentence(const char* sentence, size_t length, bool accepted,
                                  TrackSample& sample) {
    if (!buffer_)
        return 0;
    if (length > capacity_ || (fill_ != 0 && fill_ + length < capacity_))
        return ApplySentences(sentence, length, sample);
    fill_ = 0;
    return accepted ? DecodeAndApply(sentence, length, sample) : 0;
}

int SentenceParser::FeedChunk(const char* bytes, size_t count, TrackSample& sample) {
    // Buffered bytes that would overflow with this chunk are dropped.
    if (fill_ + count >= capacity_)
        fill_ = 0;
    size_t used = 0;
    if (fill_ == 0) {
        // Nothing buffered: frame straight from the input and keep only the rest.
        const int applied = FrameAll(bytes, count, &used, sample);
        fill_ = count - used;
        std::memcpy(buffer_.get(), bytes + used, fill_);
        return applied;
    }
    std::memcpy(buffer_.get() + fill_, bytes, count);
    fill_ += count;
    const int applied = FrameAll(buffer_.get(), fill_, &used, sample);
    fill_ -= used;
    std::memmove(buffer_.get(), buffer_.get() + used, fill_);
    return applied;
}

int SentenceParser::FrameAll(const char* bytes, size_t count, size_t* consumed,
                             TrackSample& sample) {
    size_t position = 0;
    int applied = 0;
    while (position < count) {
        const FrameResult frame = FrameSentence(bytes + position, count - position);
        if (frame.length == 0)
            break;
        if (frame.accepted)
            applied += DecodeAndApply(bytes + position, frame.length, sample);
        position += frame.length;
    }
    *consumed = position;
    return applied;
}
