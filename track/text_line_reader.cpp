#include "track/text_line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
constexpr size_t kBufferSize = size_t{256} * 1024;
// A piece is decided by at most this many raw bytes: 259 characters and the one after them.
constexpr size_t kWindow = kLinePieceMax + 1;
}  // namespace

TextLineReader::TextLineReader(int fd, LoadProgress* progress)
    : fd_(fd), progress_(progress), buffer_(new char[kBufferSize + kSlack]) {}

bool TextLineReader::Refill() {
    const size_t rest = end_ - pos_;
    std::memmove(buffer_.get(), buffer_.get() + pos_, rest);
    pos_ = 0;
    end_ = rest;
    for (;;) {
        if (progress_ != nullptr && progress_->Cancelled())
            break;
        const ssize_t n = read(fd_, buffer_.get() + end_, kBufferSize - end_);
        if (n > 0) {
            end_ += static_cast<size_t>(n);
            if (progress_ != nullptr)
                progress_->Read(static_cast<uint64_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;  // end of file, or an error that ends reading as fgets would
    }
    eof_ = true;
    return false;
}

bool TextLineReader::Next(LinePiece* piece) {
    for (;;) {
        char* base = buffer_.get() + pos_;
        const size_t avail = end_ - pos_;
        const size_t window = avail < kWindow ? avail : kWindow;
        const LineScan scan = ScanLine(base, window);
        if (scan.lf != kNotFound) {
            const size_t lf = scan.lf;
            const bool drop_cr = lf > 0 && base[lf - 1] == '\r';
            const size_t length = lf + 1 - (drop_cr ? 1 : 0);
            if (length <= kLinePieceMax) {
                if (drop_cr)
                    base[lf - 1] = '\n';
                *piece = {base, length, scan};
                pos_ += lf + 1;
                return true;
            }
        }
        if (avail >= kWindow || (eof_ && avail > 0)) {
            const size_t length = avail < kLinePieceMax ? avail : kLinePieceMax;
            *piece = {base, length, scan};
            pos_ += length;
            return true;
        }
        if (eof_ || !Refill()) {
            if (end_ > pos_)
                continue;  // the last bytes, without a line feed
            return false;
        }
    }
}
