#pragma once
// Length of an MPEG transport stream from its time stamps. The media backend reports no
// duration for .ts clips, and the player's slider and time text need one.

#include <cstdint>
#include <string>
#include <vector>

// Milliseconds from the first to the last presentation time stamp of the file's longest
// elementary stream, plus that stream's frame step; -1 when the file is not a transport
// stream or carries no time stamps. Only the head and the tail of a large file are read.
int64_t TransportStreamDurationMs(const std::string& path);

// The same over bytes already read: head holds the file's start, tail its end (may be empty
// when head is the whole file).
int64_t TransportStreamDurationMs(const std::vector<uint8_t>& head,
                                  const std::vector<uint8_t>& tail);
