// Why a camera could not be opened or went away, asked of the device node itself, so that the
// user reads what to do instead of a bare failure: OpenCV only says that it failed.
#pragma once
#include <string>

// The one diagnostic line for a camera that OpenCV could not open: busy, no permission, or
// (also for everything else) the line that names the failed check.
std::string DescribeOpenFailure(int index);

// The diagnostic line for a camera that stopped delivering frames while it ran.
std::string DescribeLostCamera(int index);
