#include "telemetry/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "track/regular_file.h"

FileReader::FileReader(const std::string& path, LoadProgress* progress) : progress_(progress) {
    fd_ = OpenRegularFile(path, &failure_);
    if (fd_ < 0)
        return;
    struct stat st {};
    if (fstat(fd_, &st) != 0 || st.st_size < 0) {
        failure_ = "cannot tell its size";
        close(fd_);
        fd_ = -1;
        return;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    if (progress_ != nullptr)
        progress_->total = size_;
}

FileReader::~FileReader() {
    if (fd_ >= 0)
        close(fd_);
}

size_t FileReader::ReadSome(uint64_t offset, void* out, size_t n) const {
    if (fd_ < 0 || offset >= size_ || (progress_ != nullptr && progress_->Cancelled()))
        return 0;
    if (n > size_ - offset)
        n = static_cast<size_t>(size_ - offset);
    size_t done = 0;
    while (done < n) {
        const ssize_t got =
            pread(fd_, static_cast<char*>(out) + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;  // an error, or the file shrank since it was opened
        done += static_cast<size_t>(got);
    }
    bytes_read_ += done;
    if (progress_ != nullptr)
        progress_->Read(done);
    return done;
}

bool FileReader::Read(uint64_t offset, void* out, size_t n) const {
    if (offset > size_ || n > size_ - offset)
        return false;
    return ReadSome(offset, out, n) == n;
}

std::vector<uint8_t> FileReader::ReadBytes(uint64_t offset, size_t n) const {
    if (offset >= size_)
        return {};
    if (n > size_ - offset)
        n = static_cast<size_t>(size_ - offset);
    std::vector<uint8_t> bytes(n);
    bytes.resize(ReadSome(offset, bytes.data(), n));
    return bytes;
}

void FileReader::AdviseSequential() const {
    if (fd_ >= 0)
        posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}
