#pragma once
// The parser of one log: the buffer of bytes not yet framed, and the feed that frames,
// decodes and applies every sentence to the sample being accumulated.

#include <cstddef>
#include <memory>

#include "track/track_sample.h"

class SentenceParser {
public:
    SentenceParser() = default;
    SentenceParser(const SentenceParser&) = delete;
    SentenceParser& operator=(const SentenceParser&) = delete;

    // Allocates the buffer; false (after "Insufficient memory!") when it cannot be had.
    bool Open();
    // Releases the buffer.
    void Close();

    // Feeds the bytes in chunks of at most the buffer's capacity and applies each sentence
    // decoded to the sample. Returns the number applied.
    int ApplySentences(const char* bytes, size_t count, TrackSample& sample);
    // The same for bytes the caller has found to be exactly one whole sentence, accepted or
    // not by its checksum, which saves framing them again when nothing is buffered.
    int ApplySentence(const char* sentence, size_t length, bool accepted, TrackSample& sample);

    size_t Fill() const { return fill_; }

private:
    int FeedChunk(const char* bytes, size_t count, TrackSample& sample);
    int FrameAll(const char* bytes, size_t count, size_t* consumed, TrackSample& sample);

    std::unique_ptr<char[]> buffer_;
    size_t capacity_ = 0;
    size_t fill_ = 0;
};

// Classifies and decodes one framed, accepted sentence and applies it: 1, or 0 when its kind
// is unknown or its decoder rejects it.
int DecodeAndApply(const char* sentence, size_t length, TrackSample& sample);
