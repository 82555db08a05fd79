#pragma once
// The entries of one track, carved in order from a few large mappings that are released
// together. A mapping of 2 MB or more is aligned and advised for huge pages, so that a long
// track costs a few page faults rather than one per 4 KB.

#include <cstddef>
#include <cstdint>

#include "track/track_sample.h"

class TrackArena {
public:
    // expected sizes the first mapping only; later ones grow as the track does.
    explicit TrackArena(size_t expected);
    TrackArena(const TrackArena&) = delete;
    TrackArena& operator=(const TrackArena&) = delete;
    ~TrackArena();

    // Room for the next entry, every byte zero until written, the same until Keep; null when
    // no memory can be had.
    TrackEntry* Next();
    // Makes the room Next gave the entry after the last one kept, numbered index.
    void Keep(int32_t index);
    // Hands the mappings to the first entry kept, after giving back the pages after the last
    // one; null, with everything released, when nothing was kept.
    TrackEntry* Release();

    // Releases the mappings of a track whose first entry Release returned.
    static void Free(TrackEntry* first);

    struct Block;  // the header of each mapping, the entries after it

private:
    Block* first_ = nullptr;
    Block* last_ = nullptr;
    size_t capacity_ = 0;  // entries last_ holds
    size_t used_ = 0;      // entries kept in last_
    size_t total_ = 0;     // entries all blocks hold
    size_t wanted_;        // entries of the next block
    TrackEntry* kept_ = nullptr;
};
