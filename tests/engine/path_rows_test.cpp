// The cache of a run of paths' rows that several valuations read: every row
// is the path-addressed source's row of its (path, day), whichever reader
// reaches it first and in whatever order; each is drawn once per run; a new
// run reads its own paths; and it never reads past what it holds.
#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/path_normals.h"
#include "engine/path_rows.h"

namespace morvik {
namespace {

constexpr int S = 3;
constexpr double L[S * S] = {1.0, 0.0, 0.0, 0.4, 0.9, 0.0, -0.3, 0.2, 0.8};
constexpr std::uint64_t kSeed = 0xfeedULL;

// PathNormals counting the rows handed out, across all of its copies.
struct Counted {
  PathNormals normals;
  int* rows;
  void StartPath(long long p) { normals.StartPath(p); }
  const double* Row(int stocks) {
    ++*rows;
    return normals.Row(stocks);
  }
  template <int NS>
  void Produce() {
    normals.template Produce<NS>();
  }
};

// Reads days [0, days) of path p and checks each row against a source of
// its own.
void ReadPath(PathRowReader& reader, long long p, int days) {
  PathNormals own(L, S, kSeed);
  own.StartPath(p);
  reader.StartPath(p);
  for (int d = 0; d < days; ++d) {
    if (d > 0) own.Produce<S>();
    const double* row = reader.Row(S);
    const double* want = own.Row(S);
    for (int i = 0; i < S; ++i) ASSERT_EQ(row[i], want[i]) << p << " " << d << " " << i;
    reader.Produce<S>();
  }
}

TEST(PathRowCache, ReadersShareRowsDrawnOnceAsTheSourceGivesThem) {
  int drawn = 0;
  PathRowsFrom<Counted> source(Counted{PathNormals(L, S, kSeed), &drawn}, 4, S);
  PathRowCache cache(source, 4, 30, S);
  PathRowReader a(cache), b(cache), c(cache);

  cache.Start(10, 3);
  ReadPath(a, 11, 20);
  ReadPath(a, 10, 5);
  ReadPath(b, 11, 25);  // further than a
  ReadPath(b, 12, 3);
  const int afterTwo = drawn;
  EXPECT_EQ(afterTwo, *cache.DrawnOf(0) + *cache.DrawnOf(1) + *cache.DrawnOf(2));
  EXPECT_GE(*cache.DrawnOf(1), 25);
  EXPECT_LE(*cache.DrawnOf(1), 30);
  EXPECT_LT(*cache.DrawnOf(0), 20);  // a short path is not drawn to the end
  ReadPath(c, 11, 25);
  ReadPath(c, 10, 5);
  EXPECT_EQ(drawn, afterTwo);  // nothing drawn twice

  // The next run: its own paths in the same slots, to the last day held.
  cache.Start(14, 4);
  ReadPath(b, 17, 30);
  ReadPath(a, 14, 12);
  EXPECT_EQ(*cache.DrawnOf(3), 30);

  // Past the rows held, or more paths than slots: an error, never a read.
  a.StartPath(15);
  for (int d = 0; d < 30; ++d) {
    a.Row(S);
    a.Produce<S>();
  }
  EXPECT_THROW(a.Row(S), std::logic_error);
  EXPECT_THROW(cache.Start(20, 5), std::logic_error);
}

}  // namespace
}  // namespace morvik
