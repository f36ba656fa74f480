// Whether a file descriptor is a terminal (for progress displays of command-line tools).
#pragma once

namespace platform {

bool IsTerminal(int fd);

}  // namespace platform
