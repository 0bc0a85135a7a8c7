// The image viewer's arithmetic and its choice of file. Centring, panning and the margins
// beside a small image follow the camera view's rules (measure/view_geometry.h).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The viewer's zoom steps; any other percentage shows the image unscaled.
int ViewerScaledExtent(int sourceExtent, int zoomPercent);

// The viewer keeps an offset only while the scaled image is larger than the client:
// min(offset, scaled - client), and 0 once that falls below 1.
int ViewerClampedOffset(int offset, int scaledExtent, int clientExtent);
// A freshly loaded image larger than the client opens on its middle.
int ViewerCentredOffset(int offset, int scaledExtent, int clientExtent);

// The file the viewer shows for a path. A video is shown through the photo saved beside it:
// a path whose last three characters are "avi" in any case becomes the same path ending in
// "jpg". Empty for a path of fewer than 4 characters, which cannot name a file, and for one
// longer than kViewerMaxPathChars: cut to fit, it could name another file.
constexpr size_t kViewerMaxPathChars = 259;  // a 260-character buffer with its terminator
std::u16string ViewerPathOf(std::u16string_view path, bool* isVideo);

// Images the viewer refuses to decode: a side over 16384 pixels or more than 64 megapixels,
// whatever the file header claims, so a hostile header cannot make it allocate gigabytes.
bool ViewerAcceptsImageSize(uint32_t width, uint32_t height);
// Bytes per row of a 24-bit image, rounded up to whole 32-bit words.
size_t ViewerStride(uint32_t width);
