#include "frame_rate.h"

float FrameRateCounter::Tick(uint32_t nowMs, float current) {
    history_.push_back(nowMs);
    // Compare ages rather than "oldest < now - 1000": the same test on a steady clock, but
    // it stays right in the first second after boot and across the 49.7-day clock wrap.
    while (!history_.empty() && static_cast<uint32_t>(nowMs - history_.front()) > 1000u) {
        history_.pop_front();
    }
    const size_t n = history_.size();
    if (n < 2) return current;
    const uint32_t span = nowMs - history_.front();
    if (span == 0) return current;  // two samples in one millisecond: keep the rate finite
    return static_cast<float>(n - 1) * 1000.0f / static_cast<float>(span);
}
