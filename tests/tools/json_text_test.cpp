// JSON text of term sheets: what the reader refuses, where it says the fault
// is, and doubles written back in their shortest exact form.
#ifdef MORVIK_HAVE_PRICE_TOOL

#include "termsheet/json_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace morvik {
namespace {

// The error of a text that does not read, as "line:column message".
std::string Refusal(const std::string& text) {
  Json doc;
  JsonPositions at;
  JsonTextError e;
  EXPECT_FALSE(ReadJsonText(text, doc, at, e));
  int line = 0, column = 0;
  LineAndColumn(text, e.offset, line, column);
  return std::to_string(line) + ":" + std::to_string(column) + " " + e.message;
}

TEST(JsonText, RefusesWhatAPlainParserLetsThrough) {
  // A key given twice, also inside an array element; the first one is named.
  EXPECT_EQ(Refusal("{\n  \"notional\": 1,\n  \"notional\": 2\n}"),
            "3:3 key \"notional\" given twice in one object (first at line 2, column 3); a term sheet gives each "
            "field once");
  EXPECT_EQ(Refusal("{\"rows\": [{\"a\": 1}, {\"b\": 1, \"b\": 1}]}").substr(0, 33), "1:30 key \"b\" given twice in one o");
  // The same key in two objects is no duplicate.
  Json doc;
  JsonPositions at;
  JsonTextError e;
  EXPECT_TRUE(ReadJsonText("{\"a\": {\"x\": 1}, \"b\": {\"x\": 1}}", doc, at, e)) << e.message;
  // Numbers no double holds: too large, or too small to be told from 0.
  EXPECT_EQ(Refusal("{\"yield\":\n    1e400}"), "2:5 number 1e400 is beyond the range of a double (about 1.8e308)");
  EXPECT_EQ(Refusal("[0, -2.5e-400]"), "1:5 number -2.5e-400 is too small for a double: it would read as 0");
  EXPECT_TRUE(ReadJsonText("[0.0, 0e5, 4.9e-324]", doc, at, e)) << e.message;
  EXPECT_EQ(doc[2].get<double>(), std::numeric_limits<double>::denorm_min());
  // Bytes that no text holds.
  EXPECT_EQ(Refusal(std::string("{\"a\"\0: 1}", 9)), "1:5 not a text file: byte 0x00 is not UTF-8 text; a term sheet is a JSON text file");
  EXPECT_EQ(Refusal("\x89PNG\r\n").substr(0, 31), "1:1 not a text file: byte 0x89 ");
  EXPECT_TRUE(ReadJsonText("{\"name\": \"Samsung \xEC\x82\xBC\xEC\x84\xB1\"}", doc, at, e)) << e.message;
  // Syntax errors keep the parser's explanation and position.
  EXPECT_EQ(Refusal("{\"a\": [1, 2,]}").substr(0, 25), "1:13 not valid JSON: synt");
}

// Nesting and object width are refused where the first bracket or member
// too many stands, before the parse spends anything on what follows: the
// depth of a comment counts as any other.
TEST(JsonText, NestingAndWidthAreBoundedWhereTheyStart) {
  Json doc;
  JsonPositions at;
  JsonTextError e;
  const std::string deepest = std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']');
  EXPECT_TRUE(ReadJsonText(deepest, doc, at, e)) << e.message;
  const std::string tooDeep = "objects and arrays nested more than 64 levels deep; a term sheet needs about 6";
  EXPECT_EQ(Refusal("[" + deepest + "]"), "1:65 " + tooDeep);
  EXPECT_EQ(Refusal(std::string(20000, '[')), "1:65 " + tooDeep);
  EXPECT_EQ(Refusal("{\"price_date\": \"2025-06-30\",\n \"_note\": " + std::string(1000000, '[')), "2:74 " + tooDeep);
  std::string objects;
  for (int k = 0; k < 1000000; ++k) objects += "{\"a\":";
  EXPECT_EQ(Refusal(objects), "1:321 " + tooDeep);  // the 65th object
  std::string wide = "{";
  for (std::size_t k = 0; k < kMaxJsonMembers; ++k) wide += (k ? ", \"_" : "\"_") + std::to_string(k) + "\": 0";
  EXPECT_TRUE(ReadJsonText(wide + "}", doc, at, e)) << e.message;
  EXPECT_EQ(Refusal(wide + ",\n\"x\": 1}"),
            "2:1 more than 256 members in one object; a term sheet's objects have a few dozen");
}

TEST(JsonText, PositionsNameTheKeyOfAMemberAndTheStartOfAnElement) {
  const std::string text = "{\n  \"a\": [10, \"x\",\n        {\"b\": true}],\n  \"c\": null\n}";
  Json doc;
  JsonPositions at;
  JsonTextError e;
  ASSERT_TRUE(ReadJsonText(text, doc, at, e)) << e.message;
  const auto where = [&](const std::string& path) {
    int line = 0, column = 0;
    LineAndColumn(text, at.Find(path), line, column);
    return std::to_string(line) + ":" + std::to_string(column);
  };
  EXPECT_EQ(where("a"), "2:3");
  EXPECT_EQ(where("a[0]"), "2:9");
  EXPECT_EQ(where("a[1]"), "2:13");
  EXPECT_EQ(where("a[2]"), "3:9");
  EXPECT_EQ(where("a[2].b"), "3:10");
  EXPECT_EQ(where("c"), "4:3");
  // A path the text does not hold takes its nearest enclosing field.
  EXPECT_EQ(where("a[2].b.missing"), "3:10");
  EXPECT_EQ(where("a[7]"), "2:3");
}

TEST(JsonText, DoublesAreWrittenShortestAndReadBackExactly) {
  const double values[] = {0.1,     0.1 + 0.2,       1.0 / 3.0, 5e-324, std::numeric_limits<double>::max(),
                           -0.0,    1e-7,            2.5e-6,    1e16,   123456789012345680.0,
                           0.0275 * 3, 100.0 * 0.7431, 1e9,      -42.5};
  for (double v : values) {
    const std::string s = ShortestDouble(v);
    EXPECT_EQ(std::strtod(s.c_str(), nullptr), v) << s;
    EXPECT_EQ(std::signbit(std::strtod(s.c_str(), nullptr)), std::signbit(v)) << s;
  }
  EXPECT_EQ(ShortestDouble(0.1), "0.1");
  EXPECT_EQ(ShortestDouble(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(ShortestDouble(1e9), "1000000000");
  EXPECT_EQ(ShortestDouble(5e-324), "5e-324");
  // Written into a document and read back by the parser: the same doubles.
  Json doc = Json::array();
  for (double v : values) doc.push_back(v);
  Json back;
  JsonPositions at;
  JsonTextError e;
  ASSERT_TRUE(ReadJsonText(WriteJsonText(doc), back, at, e)) << e.message;
  ASSERT_EQ(back.size(), doc.size());
  for (std::size_t k = 0; k < doc.size(); ++k) EXPECT_EQ(back[k].get<double>(), doc[k].get<double>()) << k;
  EXPECT_TRUE(std::signbit(back[5].get<double>()));  // -0.0, not the integer 0
  // JSON holds no infinity: it is written as null.
  EXPECT_EQ(WriteJsonText(Json::array({std::numeric_limits<double>::infinity()})), "[null]\n");
}

}  // namespace
}  // namespace morvik

#endif  // MORVIK_HAVE_PRICE_TOOL
