// A time-lapse run: the shown frame saved at a fixed interval into a folder of its own while
// the program runs unattended, and made into a video at the end. Main thread only; the video
// is written by a worker thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/time_lapse_plan.h"

// The main window's timer that takes the pictures.
constexpr UINT_PTR kTimeLapseTimer = 25;

struct TimeLapseStatus {
    bool running;
    bool makingVideo;
    int64_t taken;
    int64_t missed;
    int64_t nextInMs;  // -1 when not running
};

// Starts a run with the first picture now. False, with the reason in the prompt, while frames
// do not flow, a run or its video is under way, the folder cannot be made or the disk has
// too little room for the pictures planned.
bool TimeLapse_Start(const TimeLapseChoices& choices);
// Ends the run; its video is made if one was asked for.
void TimeLapse_Stop();
TimeLapseStatus TimeLapse_Status();
// The folder of the current or last run; empty before the first.
std::wstring TimeLapse_Folder();

// From the main window: its timer, and the video writer's notice that it is done.
void TimeLapse_OnTimer();
void TimeLapse_OnVideoWritten();
// The program closes: the run ends without a video, a video being written is finished.
void TimeLapse_Shutdown();

// Free disk space a run leaves untouched (64 MB). Tests raise it to see a full disk.
void TimeLapse_SetFreeSpaceReserve(int64_t bytes);
