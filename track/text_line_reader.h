#pragma once
// Reads a file the way a text-mode fgets with a 260-byte buffer does: a carriage return just
// before a line feed is dropped, and a line arrives in pieces of at most 259 characters, the
// last one ending in its line feed (when it has one).

#include <cstddef>
#include <memory>
#include <string_view>

inline constexpr size_t kLinePieceMax = 259;

class TextLineReader {
public:
    // Reads from an open descriptor; the caller keeps ownership of it.
    explicit TextLineReader(int fd);

    // The next piece; false at the end of the file or on a read error. The bytes stay valid
    // until the next call. NUL bytes are passed through.
    bool Next(std::string_view* piece);

private:
    bool Refill();

    int fd_;
    std::unique_ptr<char[]> buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
};
