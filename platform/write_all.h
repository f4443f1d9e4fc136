// Writing a whole buffer to a file descriptor (a file, a terminal): partial and interrupted
// writes go on. Any thread.
#pragma once

#include <string_view>

namespace velk {

// False when a write fails (errno tells why) or writes nothing.
bool WriteAll(int fd, std::string_view bytes);

} // namespace velk
