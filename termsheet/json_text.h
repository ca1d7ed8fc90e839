// JSON text in and out. Reading keeps where every value starts, so that an
// error can name its line and column, and rejects what a plain parser lets
// through silently: a key given twice in one object, a number beyond the
// range of a double, a file that is not text, and shapes no term sheet has
// whose cost grows faster than the text (deep nesting, objects with very
// many members). Writing prints every double in the shortest form that reads
// back to the same value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

namespace morvik {

// Term sheets keep the order of their fields, so that a rewritten sheet reads
// like the one it came from.
using Json = nlohmann::ordered_json;

// Byte offsets of the values of a document, by field path: "notional",
// "underlyings[1].spot", "" for the document itself. A member's offset is
// where its key starts, an array element's where the element starts.
// Nothing is kept for what comments ("_..." members) hold.
class JsonPositions {
 public:
  void Add(const std::string& path, std::size_t offset) { at_.emplace(path, offset); }
  // The offsets of the elements of the array at `path`, in order: one
  // number per element rather than a path each, since arrays are long.
  std::vector<std::size_t>& Elements(const std::string& path) { return elements_[path]; }
  // The offset of `path`, or of the nearest enclosing field the text holds
  // (a field made by the reader, or a missing one, takes its parent's).
  std::size_t Find(const std::string& path) const;

 private:
  std::unordered_map<std::string, std::size_t> at_;
  std::unordered_map<std::string, std::vector<std::size_t>> elements_;
};

// Deepest nesting of objects and arrays read: a term sheet needs about 6
// levels. Deeper text is refused where its first bracket too many stands,
// before the parse spends anything on it.
inline constexpr std::size_t kMaxJsonDepth = 64;

// Most members of one object: a term sheet's objects have a few dozen
// fields and comments. (An ordered object finds a member by a linear
// search, so that very wide objects would cost time quadratic in their size.)
inline constexpr std::size_t kMaxJsonMembers = 256;

// Why a text is not a usable JSON document, and where reading stopped.
struct JsonTextError {
  std::size_t offset = 0;
  bool syntax = false;     // not valid JSON (offset: end of the token that does not fit)
  std::string message;
};

// Parses `text` into `doc` and the offsets of its values. False, with
// `error`, for text that is not JSON, text with a byte that no text file
// holds (a NUL or a sequence that is not UTF-8), a duplicated key, a number
// that no double can hold, nesting deeper than kMaxJsonDepth or an object
// with more than `maxMembers` members. Time and memory are linear in the
// length of the text (for objects of at most kMaxJsonMembers members).
// Never throws.
bool ReadJsonText(std::string_view text, Json& doc, JsonPositions& positions, JsonTextError& error,
                  std::size_t maxMembers = kMaxJsonMembers);

// 1-based line and column of a 0-based byte offset in text.
void LineAndColumn(std::string_view text, std::size_t offset, int& line, int& column);

// Line and column of many offsets of one text, each found by a binary
// search over the line starts (LineAndColumn counts from the start).
class LineIndex {
 public:
  explicit LineIndex(std::string_view text);
  void Find(std::size_t offset, int& line, int& column) const;

 private:
  std::size_t size_ = 0;
  std::vector<std::size_t> starts_;  // offset of the first byte of each line
};

// "line L, column C": of a 1-based line and column, or of a 0-based byte
// offset in text.
std::string Position(int line, int column);
std::string Position(std::string_view text, std::size_t offset);

// Shortest text that reads back as the same double (std::to_chars): plain
// decimals for the usual magnitudes, an exponent only beyond them; "inf",
// "-inf" and "nan" for the values JSON cannot hold.
std::string ShortestDouble(double v);

// The document as JSON text, two spaces per level, every double written by
// ShortestDouble (a non-finite one as null, -0 as -0.0 so that it reads
// back as a double with its sign). Never throws for text that
// came from ReadJsonText; strings that are not UTF-8 get U+FFFD.
std::string WriteJsonText(const Json& doc);

}  // namespace morvik
