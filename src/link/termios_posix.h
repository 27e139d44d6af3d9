// Line settings on a POSIX terminal device, shared by both port objects.
#pragma once
#include "link/serial_device.h"

namespace kor {

// Raw mode (a pseudo-terminal reopens with cooked defaults that would mangle
// frames), no flow control, the given framing and speed; any speed on Linux.
bool posix_set_line(int fd, const LineSettings& line);

}  // namespace kor
