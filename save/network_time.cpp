#include "save/network_time.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "http/com_request.h"
#include "runtime/worker.h"
#include "save/date_time.h"
#include "text/text_items.h"
#include "text/text_slicing.h"

namespace {

// The probe's answer: the network time, in China Standard Time, read at `at`.
struct NetworkReading {
  double time = 0;
  std::chrono::steady_clock::time_point at;
};

std::optional<double> ProbeNetworkTime(const std::string& probeUrl) {
  std::string headers;
  ComRequestOptions options;
  options.method = HttpMethod::Head;
  options.returnedHeaders = &headers;
  ComHttpRequest(probeUrl, options);
  if (const std::optional<double> utc = ReadHttpDate(TextBetween(headers, "Date:", "\r\n")))
    return AddSeconds(*utc, kChinaTimeOffsetSeconds);
  return std::nullopt;
}

}  // namespace

std::optional<double> ReadHttpDate(const std::string& text) {
  // Both Windows and Wine answer an empty text with the computer's clock; only a text that holds
  // something is handed over.
  if (Trim(text).empty()) return std::nullopt;
  SYSTEMTIME record{};
  if (!InternetTimeToSystemTimeA(text.c_str(), &record, 0) || record.wYear == 0) return std::nullopt;
  return DateFromParts({record.wYear, record.wMonth, record.wDay, record.wHour, record.wMinute, record.wSecond});
}

double HttpDateToTime(const std::string& text) { return ReadHttpDate(text).value_or(DateFromParts({})); }

double GetNetworkTime(const std::string& probeUrl) {
  // No network time: the computer's own clock, in the same zone, rather than a date of no use.
  return ProbeNetworkTime(probeUrl).value_or(CurrentChinaTime());
}

struct StatusClock::State {
  mutable std::mutex lock;
  std::condition_variable ended;
  bool probing = false;
  std::optional<NetworkReading> reading;
};

StatusClock::StatusClock() : state_(std::make_shared<State>()) {}

StatusClock StatusClock::Probing(const std::string& probeUrl) {
  StatusClock clock;
  clock.state_->probing = true;
  // The worker holds the state for as long as it runs and nobody waits for it: a silent host keeps
  // it for the request engine's whole time-out.
  const bool started = static_cast<bool>(StartWorker([state = clock.state_, probeUrl] {
    std::optional<double> time;
    try {
      time = ProbeNetworkTime(probeUrl);
    } catch (...) {
      // No network time, as when the host does not answer.
    }
    const auto at = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(state->lock);
    if (time) state->reading = NetworkReading{*time, at};
    state->probing = false;
    state->ended.notify_all();
  }));
  if (!started) clock.state_->probing = false;  // no thread: the computer's clock throughout
  return clock;
}

double StatusClock::Now() const {
  std::optional<NetworkReading> reading;
  {
    std::lock_guard<std::mutex> lock(state_->lock);
    reading = state_->reading;
  }
  if (!reading) return CurrentChinaTime();
  const auto elapsed = std::chrono::steady_clock::now() - reading->at;
  return AddSeconds(reading->time, std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
}

std::string StatusClock::Stamp(const std::string& message) const { return StatusLineText(Now(), message); }

bool StatusClock::WaitForProbe(unsigned ms) const {
  std::unique_lock<std::mutex> lock(state_->lock);
  return state_->ended.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !state_->probing; });
}

bool StatusClock::HasNetworkTime() const {
  std::lock_guard<std::mutex> lock(state_->lock);
  return state_->reading.has_value();
}
