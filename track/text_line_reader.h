#pragma once
// Reads a file the way a text-mode fgets with a 260-byte buffer does: a carriage return just
// before a line feed is dropped, and a line arrives in pieces of at most 259 characters, the
// last one ending in its line feed (when it has one). Each piece comes with the one scan of
// its bytes that found its end.

#include <cstddef>
#include <memory>

#include "track/load_progress.h"
#include "track/sentence_framing.h"

inline constexpr size_t kLinePieceMax = 259;

struct LinePiece {
    char* text;
    size_t length;
    LineScan scan;  // positions at or past length are not in the piece
};

class TextLineReader {
public:
    // Bytes after every piece that the caller may overwrite until the next call.
    static constexpr size_t kSlack = 8;

    // Reads from an open descriptor; the caller keeps ownership of it.
    // progress, when given, counts the bytes read; once it is cancelled the file ends there.
    explicit TextLineReader(int fd, LoadProgress* progress = nullptr);

    // The next piece; false at the end of the file or on a read error. NUL bytes are passed
    // through.
    bool Next(LinePiece* piece);

private:
    bool Refill();

    int fd_;
    LoadProgress* progress_;
    std::unique_ptr<char[]> buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
};
