// APP_platform_tag: the platform text of the User-agent, "IBM<major>.<minor>_<64|32>_32bit", from the
// running kernel's release and machine. "IBM" stays whatever the system: servers may parse it.
#pragma once
#include <string>

// The tag of this machine, built from uname once (any thread).
const std::string& APP_platform_tag();

// The tag for a kernel release text ("6.1.0-18-amd64" gives major 6, minor 1; a part that is no number
// gives 0) and a machine name (64 for "x86_64", else 32): "IBM6.1_64_32bit".
std::string APP_format_platform_tag(const std::string& release, const std::string& machine);
