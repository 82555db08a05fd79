#include "track/track_arena.h"

#include <sys/mman.h>
#include <unistd.h>

struct TrackArena::Block {
    Block* next;
    size_t bytes;  // of the mapping, this header included
};

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kMinEntries = 64;
constexpr size_t kHeader = (sizeof(TrackArena::Block) + alignof(TrackEntry) - 1) /
                           alignof(TrackEntry) * alignof(TrackEntry);

size_t RoundUp(size_t n, size_t step) {
    return (n + step - 1) / step * step;
}

size_t PageSize() {
    static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return page;
}

TrackEntry* Entries(TrackArena::Block* block) {
    return reinterpret_cast<TrackEntry*>(reinterpret_cast<char*>(block) + kHeader);
}

// A mapping of bytes or a little more; from 2 MB on, whole huge pages on a huge-page boundary,
// mapped one huge page longer than needed and trimmed to it.
TrackArena::Block* MapBlock(size_t bytes) {
    const size_t page = PageSize();
    const size_t align = bytes < kHugePage ? page : kHugePage;
    bytes = RoundUp(bytes, align);
    const size_t extra = align - page;
    void* mapped =
        mmap(nullptr, bytes + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    char* start = static_cast<char*>(mapped);
    const auto address = reinterpret_cast<uintptr_t>(start);
    char* aligned = start + (RoundUp(address, align) - address);
    if (aligned != start)
        munmap(start, static_cast<size_t>(aligned - start));
    if (const size_t tail = static_cast<size_t>(start + extra - aligned); tail != 0)
        munmap(aligned + bytes, tail);
    if (align == kHugePage)
        madvise(aligned, bytes, MADV_HUGEPAGE);  // a hint: plain pages where it is refused
    auto* block = reinterpret_cast<TrackArena::Block*>(aligned);
    *block = {nullptr, bytes};
    return block;
}

void Unmap(TrackArena::Block* block) {
    while (block != nullptr) {
        TrackArena::Block* next = block->next;
        munmap(block, block->bytes);
        block = next;
    }
}
}  // namespace

TrackArena::TrackArena(size_t expected)
    : wanted_(expected > kMinEntries ? expected : kMinEntries) {}

TrackArena::~TrackArena() {
    Unmap(first_);
}

TrackEntry* TrackArena::Next() {
    if (used_ == capacity_) {
        Block* block = MapBlock(kHeader + wanted_ * sizeof(TrackEntry));
        if (block == nullptr)
            return nullptr;
        (last_ != nullptr ? last_->next : first_) = block;
        last_ = block;
        capacity_ = (block->bytes - kHeader) / sizeof(TrackEntry);
        used_ = 0;
        total_ += capacity_;
        wanted_ = total_;
    }
    return Entries(last_) + used_;
}

void TrackArena::Keep(int32_t index) {
    TrackEntry* entry = Entries(last_) + used_++;
    entry->index = index;
    entry->next = nullptr;
    if (kept_ != nullptr)
        kept_->next = entry;
    kept_ = entry;
}

TrackEntry* TrackArena::Release() {
    if (kept_ == nullptr) {
        Unmap(first_);
        first_ = nullptr;
        return nullptr;
    }
    // The last block keeps its header page even when no entry of it was kept.
    const size_t keep = RoundUp(kHeader + used_ * sizeof(TrackEntry), PageSize());
    if (keep < last_->bytes) {
        munmap(reinterpret_cast<char*>(last_) + keep, last_->bytes - keep);
        last_->bytes = keep;
    }
    TrackEntry* first = Entries(first_);
    first_ = nullptr;
    return first;
}

void TrackArena::Free(TrackEntry* first) {
    if (first != nullptr)
        Unmap(reinterpret_cast<Block*>(reinterpret_cast<char*>(first) - kHeader));
}
