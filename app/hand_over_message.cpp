#include "app/hand_over_message.h"

#include <algorithm>

namespace {
constexpr std::string_view kMagic = "VTH1";
constexpr size_t kNumberBytes = 4;
constexpr size_t kHeaderBytes = kMagic.size() + kNumberBytes;

void AppendNumber(std::string& out, uint32_t n) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(n >> shift));
}

uint32_t ReadNumber(const std::string& bytes) {
    uint32_t n = 0;
    for (const char c : bytes) n = n << 8 | static_cast<unsigned char>(c);
    return n;
}
}  // namespace

std::optional<std::string> EncodeHandOver(const std::vector<std::string>& paths) {
    std::string body;
    for (const std::string& path : paths) {
        if (path.size() > kHandOverMaxBytes)
            return std::nullopt;
        AppendNumber(body, static_cast<uint32_t>(path.size()));
        body += path;
        if (body.size() > kHandOverMaxBytes - kHeaderBytes)
            return std::nullopt;
    }
    std::string message(kMagic);
    AppendNumber(message, static_cast<uint32_t>(body.size()));
    return message + body;
}

HandOverReader::State HandOverReader::Feed(std::string_view bytes) {
    while (!bytes.empty() && state_ == State::Reading) {
        const size_t take = std::min(field_bytes_ - field_.size(), bytes.size());
        field_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (field_.size() == field_bytes_)
            EndField();
    }
    if (!bytes.empty() && state_ == State::Complete)
        return Refuse("bytes after the end of the message");
    return state_;
}

HandOverReader::State HandOverReader::Refuse(const char* why) {
    if (state_ != State::Refused)
        refusal_ = why;
    state_ = State::Refused;
    paths_.clear();
    return state_;
}

void HandOverReader::EndField() {
    switch (field_kind_) {
        case Field::Magic:
            if (field_ != kMagic) {
                Refuse("not a hand-over message");
                return;
            }
            field_.clear();
            field_kind_ = Field::Size;
            field_bytes_ = kNumberBytes;
            return;
        case Field::Size:
            body_left_ = ReadNumber(field_);
            field_.clear();
            if (body_left_ > kHandOverMaxBytes - kHeaderBytes) {
                Refuse("longer than a hand-over may be");
                return;
            }
            break;
        case Field::Length:
            body_left_ -= kNumberBytes;
            field_bytes_ = ReadNumber(field_);
            field_.clear();
            if (field_bytes_ == 0 || field_bytes_ > body_left_) {
                Refuse(field_bytes_ == 0 ? "an empty path" : "a path runs past the message's end");
                return;
            }
            field_kind_ = Field::Path;
            field_.reserve(field_bytes_);
            return;
        case Field::Path:
            if (field_[0] != '/' || field_.find('\0') != std::string::npos) {
                Refuse("a path that is not absolute or holds a NUL byte");
                return;
            }
            body_left_ -= static_cast<uint32_t>(field_.size());
            paths_.push_back(field_);
            field_.clear();
            break;
    }
    // After the size or a path: the next path's length, or the end.
    if (body_left_ == 0) {
        state_ = State::Complete;
    } else if (body_left_ < kNumberBytes) {
        Refuse("a path's length runs past the message's end");
    } else {
        field_kind_ = Field::Length;
        field_bytes_ = kNumberBytes;
    }
}
