#pragma once
// The status line's clock: the current time as a web server's Date header tells it, in China
// Standard Time.

#include <memory>
#include <optional>
#include <string>

// Asks `probeUrl` once (a HEAD request) and returns its time plus 8 hours; the computer's own clock
// in China Standard Time when no readable Date header comes.
double GetNetworkTime(const std::string& probeUrl);

// An HTTP date ("Sun, 06 Dec 2026 09:45:33 GMT") as a date-time in the same zone; a text that
// holds no date gives 1 January of the year 100.
double HttpDateToTime(const std::string& text);
// The same, telling a text that holds no date apart.
std::optional<double> ReadHttpDate(const std::string& text);

// The time behind every status line. A probing clock asks its web server once, on a thread of its
// own, so nobody waits for it; until the answer comes (and for good when none comes) it reads the
// computer's clock in China Standard Time, afterwards the network time plus the time elapsed since
// the answer on a monotonic clock. Copies share one clock; any thread may read it.
class StatusClock {
 public:
  // The computer's clock only.
  StatusClock();
  // Starts the probe and returns at once.
  static StatusClock Probing(const std::string& probeUrl);

  double Now() const;
  // The time text, " - " and the message: one status line.
  std::string Stamp(const std::string& message) const;
  // Whether the probe has ended (answered or not), waiting up to `ms` milliseconds for it.
  bool WaitForProbe(unsigned ms) const;
  bool HasNetworkTime() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};
