// Photos: the camera view's picture or the camera's still frame saved as JPG or PNG in the
// image folder, a video's cover photo, the notice of every saved file, and the image folder
// opened in the file browser. Main thread only.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "app/photo_names.h"

// Once at start-up, after GDI+: the JPEG and PNG encoders. False when GDI+ lists none.
bool FindImageEncoders();

// The local time now, as file names carry it.
FileStamp LocalFileStamp();

// A new time-stamped name in the image folder ending in `extension`, for a file that has a
// companion of `companionExtension` beside it: no file of either name exists yet. Empty when
// the name does not fit a path.
std::wstring MakeStampedName(std::u16string_view extension, std::u16string_view companionExtension);

// A new time-stamped photo name in the image folder, never that of an existing file; it
// becomes the last saved file. Empty when the name does not fit a path.
const wchar_t* MakePhotoName();
struct ShownPicture;
// Saves a picture as the frame is shown (JPEG or PNG by the path's extension). False when
// the file could not be written; nothing is left behind then.
bool SaveShownPicture(const ShownPicture& picture, const wchar_t* path);
// Saves the camera view's composed picture. False without a device, a picture or an
// encoder, or when the file could not be written.
bool SaveViewBitmap(const wchar_t* path);

// Space in the view and the photo button.
void TakePhoto();
// The camera's snapshot button: its still frame as it came (upright, unfiltered).
void SaveStillPhoto();
// Half a second into a video: a photo of the view beside it, of the same name.
void SaveVideoCover();
// The file browser on the image folder, with the newest file selected.
void OpenImageFolder();

// The last photo name made or video finished; empty before the first.
const wchar_t* LastSavedFile();
// What the folder command shows: the last saved file, else the first photo or video found
// in the image folder, else the folder itself.
std::wstring ImageFolderTarget();

// The table's text of `key` with its "%s" replaced by `value`.
std::wstring FillPattern(const char* key, const std::wstring& value);
// The main window's prompt, centred below the toolbar, where saved files are announced.
void ShowNotice(const std::wstring& text);
// A file has been written: it becomes the last saved file, joins the latest-files list
// (once), the settings are saved, the panel is told and the prompt says so, followed by
// `note` in brackets when it is not empty.
void AnnounceSavedFile(const wchar_t* path, const std::wstring& note);
// A file could not be written: the prompt says so and names `path`.
void AnnounceSaveFailed(const wchar_t* path);
