#include "telemetry/box_walker.h"

BoxWalker::BoxWalker(const FileReader& reader)
    : reader_(reader), pos_(0), end_(reader.size()), depth_(0) {}

BoxWalker::BoxWalker(const FileReader& reader, const Box& parent, uint64_t skip)
    : reader_(reader),
      pos_(parent.payload_offset() + (skip < parent.payload_size ? skip : parent.payload_size)),
      end_(parent.end()),
      depth_(parent.depth + 1) {
    if (depth_ >= kMaxBoxDepth)
        pos_ = end_;
    if (end_ > reader.size())
        end_ = reader.size();
}

bool BoxWalker::Next(Box* box) {
    if (pos_ >= end_)
        return false;
    const uint64_t left = end_ - pos_;
    uint8_t header[16];
    if (left < 8 || !reader_.Read(pos_, header, 8)) {
        malformed_ = true;
        pos_ = end_;
        return false;
    }
    Box b;
    b.type = Be32(header + 4);
    b.offset = pos_;
    b.depth = depth_;
    uint64_t size = Be32(header);
    b.header_size = 8;
    if (size == 1) {
        if (left < 16 || !reader_.Read(pos_ + 8, header + 8, 8)) {
            malformed_ = true;
            pos_ = end_;
            return false;
        }
        size = Be64(header + 8);
        b.header_size = 16;
    } else if (size == 0) {
        size = left;
    }
    if (size < b.header_size) {
        malformed_ = true;
        pos_ = end_;
        return false;
    }
    if (size > left) {
        b.truncated = true;
        size = left;
    }
    b.payload_size = size - b.header_size;
    pos_ = b.truncated ? end_ : pos_ + size;
    *box = b;
    return true;
}

std::optional<Box> FindBox(const FileReader& reader, const Box* parent, uint32_t type,
                           uint64_t skip) {
    BoxWalker walker = parent != nullptr ? BoxWalker(reader, *parent, skip) : BoxWalker(reader);
    Box box;
    while (walker.Next(&box)) {
        if (box.type == type)
            return box;
    }
    return std::nullopt;
}

std::optional<Box> FindBoxPath(const FileReader& reader, const std::vector<uint32_t>& types) {
    std::optional<Box> at;
    for (const uint32_t type : types) {
        at = FindBox(reader, at ? &*at : nullptr, type);
        if (!at)
            break;
    }
    return at;
}

std::vector<Box> ListBoxes(const FileReader& reader, const Box* parent, size_t limit) {
    BoxWalker walker = parent != nullptr ? BoxWalker(reader, *parent) : BoxWalker(reader);
    std::vector<Box> boxes;
    Box box;
    while (boxes.size() < limit && walker.Next(&box)) boxes.push_back(box);
    return boxes;
}
