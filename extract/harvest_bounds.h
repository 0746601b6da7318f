#pragma once
// How much one extraction takes from a page at most, so that a hostile page cannot freeze the
// window or exhaust a 32-bit process: the page's bytes, rows per picture kind, text lines and
// their bytes, and the work spent reading a page.

#include <algorithm>
#include <cstddef>

inline constexpr size_t kMaxRowsPerKind = 2000;
inline constexpr size_t kMaxTextLines = 2000;
inline constexpr size_t kMaxLineBytes = 4096;         // one line of the text box, its line end aside
// All lines of a harvest together: the text box holds no more (a real item's title, SKU names and
// attributes take under 20 KB, and the box lays out a long text slowly).
inline constexpr size_t kMaxTextBytes = size_t{64} << 10;
// The start of a description page the window shows; its layout is slow for long text, and the
// box shows no more.
inline constexpr size_t kShownPageBytes = 4096;
// A page's body is read up to this and the rest left unread; no item page comes near it.
inline constexpr size_t kMaxPageBytes = size_t{16} << 20;

// The work reading a page may take, counted in units: a byte copied or converted is one, a node of
// the page's data visited (a "$ref" followed, a member looked up, an element taken) or a piece cut
// is kNodeWork. A page is granted work in proportion to its size, never more than the ceiling in
// all; once the work is spent every further step finds nothing, so what was read up to there
// stands and the reading counts as cut short.
class WorkBudget {
 public:
  static constexpr size_t kNodeWork = 32;
  static constexpr size_t kFloor = size_t{4} << 20;       // what any page may cost
  static constexpr size_t kPerPageByte = 16;
  static constexpr size_t kCeiling = size_t{128} << 20;  // about a second of reading

  WorkBudget() = default;
  explicit WorkBudget(size_t pageBytes) { Grant(pageBytes); }

  // Adds what a page of this size may cost.
  void Grant(size_t pageBytes) {
    const size_t share = pageBytes >= kCeiling / kPerPageByte ? kCeiling : kFloor + pageBytes * kPerPageByte;
    granted_ = std::min(kCeiling, granted_ + share);
  }
  // Counts a step of work about to be done. False when the budget does not cover it: the step is
  // not to be done, the budget counts as spent, and every later step is refused uncounted. So
  // the count never exceeds the budget by more than one refused step.
  bool Spend(size_t units) {
    if (Spent()) return false;
    used_ += units;
    return !Spent();
  }
  bool Spent() const { return used_ > granted_; }
  size_t Remaining() const { return Spent() ? 0 : granted_ - used_; }
  size_t Used() const { return used_; }

 private:
  size_t granted_ = 0;
  size_t used_ = 0;
};
