#pragma once
// The message in which a later start hands its paths to the running player: "VTH1", the
// size of the rest as 4 bytes big-endian, then each path as its byte count (4 bytes
// big-endian) and its bytes as the file system names it. Both ends are this program; the
// reader takes the message as it arrives and refuses anything else as early as it shows.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Far more than any command line holds, small enough that nobody can make the player
// hold a large buffer.
inline constexpr size_t kHandOverMaxBytes = 1 << 20;

// The message for `paths`; nullopt when it would be longer than kHandOverMaxBytes.
std::optional<std::string> EncodeHandOver(const std::vector<std::string>& paths);

class HandOverReader {
public:
    enum class State { Reading, Complete, Refused };

    // Takes the next bytes of the connection; each byte is looked at once. After Complete
    // or Refused nothing more is taken: any further byte refuses the message.
    State Feed(std::string_view bytes);

    State Current() const { return state_; }
    // The paths of a complete message, each absolute and without a NUL byte.
    const std::vector<std::string>& Paths() const { return paths_; }
    // Why the message was refused.
    const std::string& Refusal() const { return refusal_; }

private:
    enum class Field { Magic, Size, Length, Path };

    State Refuse(const char* why);
    // Acts on field_ once it holds all the bytes of the current field.
    void EndField();

    State state_ = State::Reading;
    Field field_kind_ = Field::Magic;
    std::string field_;  // bytes of the current field read so far
    size_t field_bytes_ = 4;
    uint32_t body_left_ = 0;  // bytes of the message after the size not yet read
    std::vector<std::string> paths_;
    std::string refusal_;
};
