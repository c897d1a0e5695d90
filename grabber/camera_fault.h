// Why a camera could not be opened or went away, asked of the device node itself, so that the
// user reads what to do instead of a bare failure: OpenCV only says that it failed.
#pragma once
#include <string>

// The one diagnostic line for a camera that OpenCV could not open, with what to do: busy and no
// permission have lines of their own; no such device, and a negative index (no one device to
// ask), add it to the line that names the failed check, which any other failure gets bare.
std::string DescribeOpenFailure(int index);

// The diagnostic line for a camera that stopped delivering frames, or (anyPicture false) that
// opened and never delivered one: unplugged and, before the first picture, busy have lines of
// their own.
std::string DescribeLostCamera(int index, bool anyPicture);
