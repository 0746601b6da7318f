#include <windows.h>
#include <wininet.h>

#include "http/internet_handles.h"

void InternetHandleTraits::Close(Handle h) { InternetCloseHandle(h); }
