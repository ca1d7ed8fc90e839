// JSON text in and out. Reading keeps where every value starts, so that an
// error can name its line and column, and rejects what a plain parser lets
// through silently: a key given twice in one object, a number beyond the
// range of a double, a file that is not text. Writing prints every double in
// the shortest form that reads back to the same value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include <nlohmann/json.hpp>

namespace morvik {

// Term sheets keep the order of their fields, so that a rewritten sheet reads
// like the one it came from.
using Json = nlohmann::ordered_json;

// Byte offsets of the values of a document, by field path: "notional",
// "underlyings[1].spot", "" for the document itself. A member's offset is
// where its key starts, an array element's where the element starts.
class JsonPositions {
 public:
  void Add(const std::string& path, std::size_t offset) { at_.emplace(path, offset); }
  // The offset of `path`, or of the nearest enclosing field the text holds
  // (a field made by the reader, or a missing one, takes its parent's).
  std::size_t Find(const std::string& path) const;

 private:
  std::unordered_map<std::string, std::size_t> at_;
};

// Why a text is not a usable JSON document, and where reading stopped.
struct JsonTextError {
  std::size_t offset = 0;
  bool syntax = false;     // not valid JSON (offset: end of the token that does not fit)
  std::string message;
};

// Parses `text` into `doc` and the offsets of its values. False, with
// `error`, for text that is not JSON, text with a byte that no text file
// holds (a NUL or a sequence that is not UTF-8), a duplicated key or a
// number that no double can hold. Never throws.
bool ReadJsonText(std::string_view text, Json& doc, JsonPositions& positions, JsonTextError& error);

// 1-based line and column of a 0-based byte offset in text.
void LineAndColumn(std::string_view text, std::size_t offset, int& line, int& column);

// "line L, column C": of a 1-based line and column, or of a 0-based byte
// offset in text.
std::string Position(int line, int column);
std::string Position(std::string_view text, std::size_t offset);

// Shortest text that reads back as the same double (std::to_chars): plain
// decimals for the usual magnitudes, an exponent only beyond them; "inf",
// "-inf" and "nan" for the values JSON cannot hold.
std::string ShortestDouble(double v);

// The document as JSON text, two spaces per level, every double written by
// ShortestDouble (a non-finite one as null). Never throws for text that
// came from ReadJsonText; strings that are not UTF-8 get U+FFFD.
std::string WriteJsonText(const Json& doc);

}  // namespace morvik
