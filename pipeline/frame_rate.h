// Frames per second over the last second of millisecond time stamps.
#pragma once
#include <cstddef>
#include <cstdint>

#include "ring_queue.h"

class FrameRateCounter {
public:
    // Room for a second of a fast camera's stamps; a faster one grows it once.
    FrameRateCounter() { history_.reserve(kStampsReserved); }
    // Records a sample at `nowMs` and returns the new rate, or `current` when the history
    // cannot give one (fewer than two stamps, or all of them in the same millisecond).
    float Tick(uint32_t nowMs, float current);
    size_t HistorySize() const { return history_.size(); }

private:
    static constexpr size_t kStampsReserved = 128;
    RingQueue<uint32_t> history_;
};
