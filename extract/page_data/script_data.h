#pragma once
// What every reader of today's page data stands on: the script literal that holds a page's data,
// parsed as JSON; a walk over it that follows "$ref" nodes; and the addresses, lines and lists
// taken from it, each bounded. Every step counts against the page's work budget. Included by the
// readers of this folder only.

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "extract/harvest_bounds.h"
#include "extract/page_data/page_data.h"

namespace page_data {

using Json = nlohmann::json;

constexpr size_t npos = std::string_view::npos;
// A page naming its data anchor more often than this is not an item page.
constexpr int kMaxAnchorTries = 8;

struct Parsed {
  Json root;
  bool gbk = false;
  bool cutShort = false;
};

// Whether the page's text is GBK: as the fetch reported it, or, when it did not, as the page engine
// would have handed it over.
bool ReadsAsGbk(std::string_view page, PageEncoding encoding);

// The literal that opens at `start`, parsed; nothing when it is no literal or no valid JSON, or
// when the budget is spent.
std::optional<Parsed> ParseAt(std::string_view page, size_t start, bool gbk, WorkBudget& budget);

// Where the value assigned after `anchor` opens ("anchor = {", "anchor=({"), for each of the
// first few places the anchor stands.
std::vector<size_t> ValueStartsAfter(std::string_view page, std::string_view anchor);

// Picks values out of parsed data. Every step resolves "$ref" nodes and gives nullptr for
// anything missing or of another kind, so a walk down a path needs no checks on the way. Every
// step is paid from the budget (a node reached through many references is paid each time); once
// it is spent, every step finds nothing.
class Reader {
 public:
  Reader(const Parsed& parsed, const Utf8ToText& utf8ToText, WorkBudget& budget)
      : root_(parsed.root), gbk_(parsed.gbk), utf8ToText_(utf8ToText), budget_(budget) {}

  const Json* Root() const { return &root_; }
  const Json* Resolve(const Json* node) const;
  const Json* Get(const Json* node, std::string_view key) const;
  const Json* Path(const Json* node, std::initializer_list<std::string_view> keys) const;
  // The elements of an array (each resolved); none for anything else.
  std::vector<const Json*> Items(const Json* node) const;
  // A string's bytes as the JSON holds them (UTF-8 or private-use), for addresses and markers.
  std::string_view Raw(const Json* node) const;
  // A string or a whole number as GBK text; "" for anything else.
  std::string Text(const Json* node) const;
  // Text for a line of the text box: control characters as blanks, trimmed, at most
  // kMaxLineBytes; only the start of a long string is read.
  std::string Line(const Json* node) const;
  // Whether the budget is spent: the reading stopped short.
  bool Exhausted() const { return budget_.Spent(); }

 private:
  const Json* Lookup(std::string_view path) const;
  bool Visit() const { return budget_.Spend(WorkBudget::kNodeWork); }

  const Json& root_;
  bool gbk_;
  const Utf8ToText& utf8ToText_;
  WorkBudget& budget_;
};

// A picture or page address as the window lists it: scheme completed for "//host/…", printable
// ASCII without quotes or markup, of a sensible length; nothing otherwise.
std::optional<std::string> CompleteAddress(std::string_view s);
// Adds a non-empty item while the list holds fewer than `bound`; otherwise marks the cut.
void AddBounded(TextList& list, std::string item, size_t bound, bool& cutShort);
// Whether a loop that adds to the list should stop: it holds `bound` items (a further one would
// be cut, so the cut is marked) or the reading's budget is spent.
bool Full(const TextList& list, size_t bound, const Reader& r, bool& cutShort);
// Adds the node's line while the list holds fewer than kMaxTextLines, without reading it otherwise.
void AddLine(TextList& list, const Reader& r, const Json* node, bool& cutShort);
// Adds the completed address of the original picture (OriginalPictureAddress), up to
// kMaxRowsPerKind.
void AddPicture(TextList& list, std::string_view address, bool& cutShort);
// Adds the node's address while the list holds fewer than kMaxRowsPerKind, without reading it
// otherwise.
void AddPictureOf(TextList& list, const Reader& r, const Json* node, bool& cutShort);
// Every src="…" (or src=\"…\" inside a script string) attribute of an HTML text that holds an
// address, in order.
TextList SourceAddresses(std::string_view html, bool& cutShort);

// Whether a reading found enough of an item to stand for it.
bool CallerMayUse(const ItemPageData& data);

}  // namespace page_data
