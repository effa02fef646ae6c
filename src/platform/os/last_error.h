#pragma once

#include "platform/export.h"
#include "platform/types.h"

// The calling thread's last system error: the errno value of the last platform call that
// failed. Messages print it as "Last Error=%d".
VELCORE_API DWORD GetLastError();
VELCORE_API void SetLastError(DWORD error);
