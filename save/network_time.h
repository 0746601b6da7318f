#pragma once
// The status line: every message of the saver behind the current time as a web server's Date
// header tells it, in China Standard Time.

#include <functional>
#include <optional>
#include <string>

// The root page of the time probe host over plain http.
std::string DefaultTimeProbeUrl();

// The probe's time plus 8 hours; the computer's own clock in China Standard Time when the probe
// gives no readable Date header.
double GetNetworkTime(const std::string& probeUrl = DefaultTimeProbeUrl());

// An HTTP date ("Sun, 06 Dec 2026 09:45:33 GMT") as a date-time in the same zone; a text that
// holds no date gives 1 January of the year 100.
double HttpDateToTime(const std::string& text);
// The same, telling a text that holds no date apart.
std::optional<double> ReadHttpDate(const std::string& text);

// Writes the time text, " - " and the message with `write`, the time read from `probeUrl`.
using StatusWriter = std::function<void(const std::string& line)>;
void ShowStatus(const std::string& message, const std::string& probeUrl, const StatusWriter& write);

// The program's status line: the default probe, written into the label 岚栩_tim.
void ShowStatus(const std::string& message);
