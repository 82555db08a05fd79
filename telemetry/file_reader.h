#pragma once
// Reads a clip by offset without ever leaving it: every read is checked against the size the
// file had when it was opened, and the bytes read are counted (what the benchmark reports).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "track/load_progress.h"

class FileReader {
public:
    // Opens path through OpenRegularFile (a FIFO, device or folder is refused); check ok().
    // progress, when given, counts the bytes read against the file's size; once it is
    // cancelled every read comes back empty.
    explicit FileReader(const std::string& path, LoadProgress* progress = nullptr);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool ok() const { return fd_ >= 0; }
    // Why the file could not be opened; empty when it was.
    const std::string& failure() const { return failure_; }
    uint64_t size() const { return size_; }

    // Exactly n bytes from offset into out; false when any of them lies outside the file or
    // the system read fails.
    bool Read(uint64_t offset, void* out, size_t n) const;

    // Up to n bytes from offset, fewer at the end of the file; the number read.
    size_t ReadSome(uint64_t offset, void* out, size_t n) const;

    // Up to n bytes from offset as a vector (shorter at the end of the file).
    std::vector<uint8_t> ReadBytes(uint64_t offset, size_t n) const;

    // Bytes handed out by the reads so far.
    uint64_t bytes_read() const { return bytes_read_; }

    // Tells the system the file will be read from start to end, in large pieces.
    void AdviseSequential() const;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
    std::string failure_;
    mutable uint64_t bytes_read_ = 0;
    LoadProgress* progress_ = nullptr;
};
