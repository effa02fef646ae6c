#pragma once

#include "platform/ddraw/gdi/gdi.h"

#include <string>

namespace platform {

// The registry's key for a resource name: the name in lower case, or "#<number>" for a
// small number given in place of a name.
std::string ResourceKey(const char* name);

} // namespace platform
