// Reading JSON text with the offsets of its values, and writing it back with
// shortest doubles.
//
// The parser is nlohmann's; it reads through an iterator that records how
// far it has read, so that each event of the parse (an object opens, a key,
// a value) knows where in the text it happened.
#include "termsheet/json_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <new>
#include <vector>

namespace morvik {
namespace {

// A character iterator that records, in a place shared by all its copies,
// the furthest position the parser has read.
struct TrackingIterator {
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  const char* at = nullptr;
  const char** furthest = nullptr;

  reference operator*() const { return *at; }
  TrackingIterator& operator++() {
    ++at;
    if (at > *furthest) *furthest = at;
    return *this;
  }
  TrackingIterator operator++(int) {
    TrackingIterator old = *this;
    ++*this;
    return old;
  }
  bool operator==(const TrackingIterator& o) const { return at == o.at; }
  bool operator!=(const TrackingIterator& o) const { return at != o.at; }
};

bool IsNumberChar(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Start of the string token whose closing quote is at `close`.
std::size_t StringStart(std::string_view text, std::size_t close) {
  for (std::size_t k = close; k-- > 0;) {
    if (text[k] != '"') continue;
    std::size_t slashes = 0;
    while (k > slashes && text[k - 1 - slashes] == '\\') ++slashes;
    if (slashes % 2 == 0) return k;
  }
  return 0;
}

// Start of the number token that ends before `end` (the character at end-1
// may be the one the parser read ahead).
std::size_t NumberStart(std::string_view text, std::size_t end, std::size_t& stop) {
  if (end > 0 && end <= text.size() && !IsNumberChar(text[end - 1])) --end;
  stop = end;
  while (end > 0 && IsNumberChar(text[end - 1])) --end;
  return end;
}

// Raised inside the parse to stop it at a value the reader refuses.
struct Refused {
  std::size_t offset;
  std::string message;
};

// One open object or array of the parse.
struct Frame {
  bool object = false;
  // Inside a comment ("_..." member): nothing is recorded, since nothing
  // there is ever read.
  bool comment = false;
  std::string path;
  std::vector<std::size_t>* elements = nullptr;  // offsets of an array's elements
  std::string key;        // current member of an object
  std::size_t keyAt = 0;
  std::unordered_map<std::string, std::size_t> keys;  // keys seen, with offsets
};

class PositionRecorder {
 public:
  PositionRecorder(std::string_view text, const char** furthest, JsonPositions& positions, std::size_t maxMembers)
      : text_(text), furthest_(furthest), positions_(positions), maxMembers_(maxMembers) {}

  bool operator()(int /*depth*/, Json::parse_event_t event, Json& parsed) {
    const std::size_t read = static_cast<std::size_t>(*furthest_ - text_.data());
    switch (event) {
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start: {
        const std::size_t at = read > 0 ? read - 1 : 0;
        // Refused before the value is recorded: every level's path holds the
        // paths of the levels above it, so that depth costs its square.
        if (frames_.size() >= kMaxJsonDepth) {
          throw Refused{at, "objects and arrays nested more than " + std::to_string(kMaxJsonDepth) +
                                " levels deep; a term sheet needs about 6"};
        }
        Frame f;
        f.object = event == Json::parse_event_t::object_start;
        f.comment = InComment();
        if (!f.comment) {
          f.path = ChildPath(at);
          if (!f.object) f.elements = &positions_.Elements(f.path);
        }
        frames_.push_back(std::move(f));
        break;
      }
      case Json::parse_event_t::object_end:
      case Json::parse_event_t::array_end:
        if (!frames_.empty()) frames_.pop_back();
        break;
      case Json::parse_event_t::key: {
        Frame& f = frames_.back();
        const std::size_t at = StringStart(text_, read > 0 ? read - 1 : 0);
        const std::string& key = parsed.get_ref<const std::string&>();
        if (f.keys.size() >= maxMembers_) {
          throw Refused{at, "more than " + std::to_string(maxMembers_) +
                                " members in one object; a term sheet's objects have a few dozen"};
        }
        const auto seen = f.keys.find(key);
        if (seen != f.keys.end()) {
          throw Refused{at, "key \"" + key + "\" given twice in one object (first at " +
                                Position(text_, seen->second) + "); a term sheet gives each field once"};
        }
        f.keys.emplace(key, at);
        f.key = key;
        f.keyAt = at;
        break;
      }
      case Json::parse_event_t::value: {
        std::size_t at = read;
        if (parsed.is_string()) {
          at = StringStart(text_, read > 0 ? read - 1 : 0);
        } else if (parsed.is_number()) {
          std::size_t stop = 0;
          at = NumberStart(text_, read, stop);
          if (parsed.is_number_float() && parsed.get<double>() == 0.0) CheckUnderflow(at, stop);
        } else if (parsed.is_boolean()) {
          at = read - (parsed.get<bool>() ? 4 : 5);
        } else if (parsed.is_null()) {
          at = read - 4;
        }
        if (!InComment()) Record(at);
        break;
      }
    }
    return true;
  }

  // Offset where the parse stopped at a number too large for a double.
  std::size_t OverflowAt(std::size_t& stop) const {
    const std::size_t read = static_cast<std::size_t>(*furthest_ - text_.data());
    return NumberStart(text_, read, stop);
  }

 private:
  // Whether the value about to be read lies in a comment: a member whose
  // key starts with "_", or anything inside one.
  bool InComment() const {
    if (frames_.empty()) return false;
    const Frame& f = frames_.back();
    return f.comment || (f.object && !f.key.empty() && f.key[0] == '_');
  }

  // Records where the value about to be read (starting at `at`) is: a
  // member by its key, an array element in its array's list.
  void Record(std::size_t at) {
    if (frames_.empty()) {
      positions_.Add("", at);
    } else if (frames_.back().object) {
      positions_.Add(MemberPath(frames_.back()), frames_.back().keyAt);
    } else {
      frames_.back().elements->push_back(at);
    }
  }

  static std::string MemberPath(const Frame& f) { return f.path.empty() ? f.key : f.path + "." + f.key; }

  // Records the object or array about to be read and returns its path.
  std::string ChildPath(std::size_t at) {
    Record(at);
    if (frames_.empty()) return "";
    const Frame& f = frames_.back();
    // Record has just listed this element last in its array.
    return f.object ? MemberPath(f) : f.path + "[" + std::to_string(f.elements->size() - 1) + "]";
  }

  // A number written with a non-zero digit that reads as 0: below the
  // smallest double.
  void CheckUnderflow(std::size_t from, std::size_t stop) const {
    for (std::size_t k = from; k < stop; ++k) {
      const char c = text_[k];
      if (c == 'e' || c == 'E') break;
      if (c >= '1' && c <= '9') {
        throw Refused{from, "number " + std::string(text_.substr(from, stop - from)) +
                                " is too small for a double: it would read as 0"};
      }
    }
  }

  std::string_view text_;
  const char** furthest_;
  JsonPositions& positions_;
  std::size_t maxMembers_;
  std::vector<Frame> frames_;
};

// The first byte that no UTF-8 text holds (a NUL, a stray or truncated
// sequence), or npos.
std::size_t FirstNonTextByte(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t k = 0; k < n;) {
    const unsigned char c = s[k];
    if (c == 0) return k;
    std::size_t extra = 0;
    if (c < 0x80) {
      ++k;
      continue;
    }
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
    } else {
      return k;
    }
    if (k + extra >= n) return k;
    for (std::size_t e = 1; e <= extra; ++e) {
      if ((s[k + e] & 0xC0) != 0x80) return k;
    }
    k += extra + 1;
  }
  return std::string_view::npos;
}

// The explanation of a JSON library message, without its own prefix and
// position (the position is reported as line and column instead).
std::string Explanation(const std::string& what) {
  const std::size_t pos = what.find(": ");
  if (pos == std::string::npos) return what;
  return what.substr(pos + 2);
}

// Objects of plain values up to this width stay on one line.
constexpr std::size_t kCompactWidth = 100;

void WriteString(const std::string& s, std::string& out) {
  out += Json(s).dump(-1, ' ', false, Json::error_handler_t::replace);
}

void Write(const Json& v, int depth, std::string& out) {
  const std::string pad(static_cast<std::size_t>(2 * (depth + 1)), ' ');
  const std::string close(static_cast<std::size_t>(2 * depth), ' ');
  switch (v.type()) {
    case Json::value_t::object: {
      if (v.empty()) {
        out += "{}";
        return;
      }
      // Small objects of plain values stay on one line: a tier, a row of closes.
      bool flat = true;
      for (const Json& e : v) {
        flat = flat && (!e.is_structured() || (e.is_array() && std::none_of(e.begin(), e.end(), [](const Json& x) {
                                                  return x.is_structured();
                                                })));
      }
      if (flat) {
        std::string line = "{";
        bool first = true;
        for (auto it = v.begin(); it != v.end(); ++it) {
          line += first ? "" : ", ";
          first = false;
          WriteString(it.key(), line);
          line += ": ";
          Write(it.value(), depth + 1, line);
        }
        line += "}";
        if (line.size() + pad.size() <= kCompactWidth) {
          out += line;
          return;
        }
      }
      out += "{\n";
      bool first = true;
      for (auto it = v.begin(); it != v.end(); ++it) {
        if (!first) out += ",\n";
        first = false;
        out += pad;
        WriteString(it.key(), out);
        out += ": ";
        Write(it.value(), depth + 1, out);
      }
      out += "\n" + close + "}";
      return;
    }
    case Json::value_t::array: {
      if (v.empty()) {
        out += "[]";
        return;
      }
      // Arrays of plain values stay on one line: lists of rates, dates, prices.
      bool flat = true;
      for (const Json& e : v) flat = flat && !e.is_structured();
      if (flat) {
        out += "[";
        for (std::size_t k = 0; k < v.size(); ++k) {
          if (k) out += ", ";
          Write(v[k], depth + 1, out);
        }
        out += "]";
        return;
      }
      out += "[\n";
      for (std::size_t k = 0; k < v.size(); ++k) {
        if (k) out += ",\n";
        out += pad;
        Write(v[k], depth + 1, out);
      }
      out += "\n" + close + "]";
      return;
    }
    case Json::value_t::string:
      WriteString(v.get_ref<const std::string&>(), out);
      return;
    case Json::value_t::number_float: {
      const double d = v.get<double>();
      // "-0" would read back as the integer 0: the sign needs a decimal point.
      if (d == 0.0 && std::signbit(d)) {
        out += "-0.0";
      } else {
        out += std::isfinite(d) ? ShortestDouble(d) : "null";
      }
      return;
    }
    default:
      out += v.dump();
      return;
  }
}

}  // namespace

std::size_t JsonPositions::Find(const std::string& path) const {
  std::string p = path;
  for (;;) {
    const auto it = at_.find(p);
    if (it != at_.end()) return it->second;
    // An element "array[i]": its array's list.
    const std::size_t open = p.rfind('[');
    if (!p.empty() && p.back() == ']' && open != std::string::npos) {
      const auto list = elements_.find(p.substr(0, open));
      const std::string digits = p.substr(open + 1, p.size() - open - 2);
      std::size_t index = 0;
      const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
      if (list != elements_.end() && ec == std::errc() && end == digits.data() + digits.size() && !digits.empty() &&
          index < list->second.size()) {
        return list->second[index];
      }
    }
    if (p.empty()) return 0;
    // Drop the last component: ".key" or "[i]".
    const std::size_t dot = p.find_last_of(".[");
    p = dot == std::string::npos ? std::string() : p.substr(0, dot);
  }
}

void LineAndColumn(std::string_view text, std::size_t offset, int& line, int& column) {
  line = 1;
  column = 1;
  const std::size_t end = offset < text.size() ? offset : text.size();
  for (std::size_t i = 0; i < end; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

LineIndex::LineIndex(std::string_view text) : size_(text.size()) {
  starts_.push_back(0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') starts_.push_back(i + 1);
  }
}

void LineIndex::Find(std::size_t offset, int& line, int& column) const {
  const std::size_t at = offset < size_ ? offset : size_;
  const auto next = std::upper_bound(starts_.begin(), starts_.end(), at);
  line = static_cast<int>(next - starts_.begin());
  column = static_cast<int>(at - *(next - 1)) + 1;
}

std::string Position(int line, int column) {
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string Position(std::string_view text, std::size_t offset) {
  int line = 0, column = 0;
  LineAndColumn(text, offset, line, column);
  return Position(line, column);
}

bool ReadJsonText(std::string_view text, Json& doc, JsonPositions& positions, JsonTextError& error,
                  std::size_t maxMembers) {
  error = JsonTextError{};
  positions = JsonPositions{};
  const std::size_t bad = FirstNonTextByte(text);
  if (bad != std::string_view::npos) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(text[bad])));
    error.offset = bad;
    error.message = std::string("not a text file: byte ") + hex +
                    " is not UTF-8 text; a term sheet is a JSON text file";
    return false;
  }
  const char* furthest = text.data();
  PositionRecorder recorder(text, &furthest, positions, maxMembers);
  try {
    TrackingIterator first{text.data(), &furthest};
    TrackingIterator last{text.data() + text.size(), &furthest};
    doc = Json::parse(first, last, std::ref(recorder));
    return true;
  } catch (const Refused& r) {
    error.offset = r.offset;
    error.message = r.message;
  } catch (const Json::parse_error& e) {
    // e.byte is the 1-based position of the byte where reading stopped.
    error.syntax = true;
    error.offset = e.byte > 0 ? e.byte - 1 : 0;
    error.message = "not valid JSON: " + Explanation(e.what());
  } catch (const Json::out_of_range&) {
    // The only range error of a parse: a number beyond the doubles.
    std::size_t stop = 0;
    error.offset = recorder.OverflowAt(stop);
    error.message = "number " + std::string(text.substr(error.offset, stop - error.offset)) +
                    " is beyond the range of a double (about 1.8e308)";
  } catch (const std::bad_alloc&) {
    error.message = "out of memory while reading the term sheet";
  } catch (const std::exception& e) {
    error.message = e.what();
  }
  doc = Json();
  return false;
}

std::string ShortestDouble(double v) {
  if (!std::isfinite(v)) return v > 0 ? "inf" : (v < 0 ? "-inf" : "nan");
  const double a = std::fabs(v);
  const bool plain = a == 0.0 || (a >= 1e-6 && a < 1e16);
  char buf[400];
  const auto res = plain ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed)
                         : std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string WriteJsonText(const Json& doc) {
  std::string out;
  Write(doc, 0, out);
  out += "\n";
  return out;
}

}  // namespace morvik
