// The video writer: frames of the record queue appended to an AVI file by a worker thread, one
// thread per file: uncompressed, or MJPG of the camera's own samples and of frames it encodes.
// Start and stop run on the main thread.
#pragma once
#include <windows.h>

#include <cstdint>

// Creates the AVI file named by the pipeline's recordPath and starts its writer. False, with
// no file left behind, when no frames flow, the camera is being opened or closed, the last
// writer has not ended, or the file cannot be created.
bool StartRecording();
// Ends the recording and returns once the writer has written every queued frame and closed
// the file, also when closing the camera ended the recording first and its writer is still
// at work. Messages are dispatched meanwhile; opening or closing the camera waits until the
// file is closed.
void StopRecording();

// The current file, as the writer thread counts it: recorded time in 100-ns units, bytes and
// frames written.
int64_t Recorder_RecordedTime();
int64_t Recorder_BytesWritten();
int32_t Recorder_FramesWritten();
// The current file can take no more frames than may still reach it once a split is asked
// for: the record dialog continues the recording in a new file.
bool Recorder_RoomRunningOut();
// The disk filled up or a write failed: the writer writes no more frames, and the file keeps
// everything written before.
bool Recorder_WriteStopped();
// Free disk space the writer keeps for the file's index and headers (64 MB). Tests raise it
// to run into a full disk.
void Recorder_SetFreeSpaceReserve(int64_t bytes);
// A file is continued in a new one once it holds more than this (kSplitBytes, or
// TESSALOOM_SPLIT_BYTES from the environment). Tests lower it to see a split within seconds.
int64_t Recorder_SplitBytes();
void Recorder_SetSplitBytes(int64_t bytes);
// Whether the files started from now on are MJPG (off: uncompressed, the default).
bool Recorder_CompressedVideo();
void Recorder_SetCompressedVideo(bool on);

// A video made of pictures taken over a long time: packed top-down BGR pictures of one size
// into an MJPG AVI at `frameRate`, from one thread of the caller's (not the main thread's
// recording). Null when the file cannot be created.
struct PictureVideo;
PictureVideo* PictureVideo_Open(const wchar_t* path, int width, int height, float frameRate);
// False when the picture could not be added: the file is full or a write failed.
bool PictureVideo_Add(PictureVideo* video, const uint8_t* bgr);
// Finishes the file and returns the pictures it holds; a file of none is deleted.
int32_t PictureVideo_Close(PictureVideo* video);
