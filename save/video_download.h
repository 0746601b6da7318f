#pragma once
// The item's main video, downloaded by the system (urlmon) on a worker of its own, within bounds of
// time and size, into a file beside where it is to go.

#include <windows.h>

#include <string>

#include "runtime/stop_signal.h"
#include "save/saver.h"

// Downloads `url` into a temporary file beside `path` (GBK); its name when the download is whole,
// within `bounds`, and answered with a success that can be a video. Empty otherwise, and then no
// file is left behind (a download given up at `stop` or past a bound removes its partial file).
std::wstring DownloadVideoFile(const std::string& url, const std::string& path, const VideoBounds& bounds,
                               const StopSignal& stop);
