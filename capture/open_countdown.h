// The wait before the program opens a camera by itself: a little after start-up, and
// about 800 ms after the last of a burst of device arrivals.
#pragma once
#include <cstdint>

class OpenCountdown {
public:
    static constexpr int32_t kAtStartup = 718;
    static constexpr int32_t kStep = 100;  // one tick of the view's 100 ms timer
    static constexpr int32_t kOpenAbove = 800;

    void Start() { value_ = kAtStartup; }
    void Arrival() { value_ = 1; }
    // True on the tick that should open the newest camera.
    bool Tick() {
        if (value_ == 0) return false;
        value_ += kStep;
        if (value_ <= kOpenAbove) return false;
        value_ = 0;
        return true;
    }
    int32_t value() const { return value_; }

private:
    int32_t value_ = 0;
};
