// Line settings on a POSIX terminal device, shared by both port objects.
#pragma once
#include "link/serial_device.h"

namespace kor {

// Raw mode (a pseudo-terminal reopens with cooked defaults that would mangle
// frames), no flow control, the given framing and speed; any speed on Linux.
bool posix_set_line(int fd, const LineSettings& line);

// Opens a terminal device for this program alone (a port another program or
// the other port object holds is refused, as the Windows driver refuses a
// second open), non-blocking. -1 when it cannot be had, with errno saying why
// (EBUSY when someone else holds it).
int posix_open_exclusive(const char* path);
// The cause behind an errno posix_open_exclusive left.
OpenFailure posix_open_failure(int err);
// Lets go of a descriptor posix_open_exclusive gave; fd is -1 afterwards.
void posix_close_exclusive(int& fd);

// The driver's low-latency mode; false where the driver refuses it (a
// pseudo-terminal, a driver without it). savedFlags is what to put back.
bool posix_request_low_latency(int fd, int& savedFlags);
void posix_restore_low_latency(int fd, int savedFlags);

}  // namespace kor
