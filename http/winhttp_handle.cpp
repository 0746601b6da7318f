#include <windows.h>
#include <winhttp.h>

#include "http/internet_handles.h"

void WinHttpHandleTraits::Close(Handle h) { WinHttpCloseHandle(h); }
