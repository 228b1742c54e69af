#pragma once
// Why a system call failed, in words a user can be shown (German, as the
// whole interface; the C library's own texts follow the process locale).

#include <string>

namespace velmora {

std::string systemErrorText(int error);

} // namespace velmora
