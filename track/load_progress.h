#pragma once
// How far a long read of a file has come, for another thread to show, and that thread's wish
// that it stop: a log or a clip read off the user-interface thread reports here.

#include <atomic>
#include <cstdint>

struct LoadProgress {
    std::atomic<uint64_t> done{0};   // bytes read
    std::atomic<uint64_t> total{0};  // bytes to read; 0 while unknown
    std::atomic<bool> cancelled{false};

    void Read(uint64_t bytes) { done.fetch_add(bytes, std::memory_order_relaxed); }
    bool Cancelled() const { return cancelled.load(std::memory_order_relaxed); }
    // Thousandths done, 0 while the total is unknown.
    int Permille() const {
        const uint64_t all = total.load(std::memory_order_relaxed);
        const uint64_t part = done.load(std::memory_order_relaxed);
        return all == 0 ? 0 : static_cast<int>(part >= all ? 1000 : part * 1000 / all);
    }
};
