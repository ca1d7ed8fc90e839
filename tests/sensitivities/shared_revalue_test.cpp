// The full call's sensitivities when an allocation fails: in one pass and
// split into groups run as tasks, every failure leaves as std::bad_alloc
// (never as a greek), and everything allocated is released.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "sensitivities/sensitivities.h"
#include "testing/core_note.h"
#include "tests/hardening/alloc_hook.h"
#include "tests/support/run_backwards.h"

namespace morvik {
namespace {

using testing::SmallNote;

std::vector<double> Flat(const Greeks& g, double price) {
  std::vector<double> v{price, g.theta, g.rho};
  for (std::size_t i = 0; i < g.delta.size(); ++i) v.insert(v.end(), {g.delta[i], g.gamma[i], g.vega[i]});
  return v;
}

TEST(SensitivityFailure, EveryFailedAllocationThrowsInOnePassAndInGroups) {
  SmallNote n(1);
  n.NTrials = 4.0;
  n.Bind();
  const TaskRunner backwards{3, &support::RunBackwards};
  for (const TaskRunner* runner : {static_cast<const TaskRunner*>(nullptr), &backwards}) {
    std::vector<double> prob(5), cf(5), cprob(3), ccf(3);
    double price = 0.0;
    const CoreResults out{prob.data(), cf.data(), cprob.data(), ccf.data(), &price};
    Greeks ref;
    ASSERT_EQ(ValueWithSensitivities(n.a, out, 2, ref, StreamLimits{}, runner), 1);
    const std::vector<double> expected = Flat(ref, price);
    int thrown = 0;
    bool reachedEnd = false;
    for (long k = 0; k < 100000 && !reachedEnd; ++k) {
      const long liveBefore = LiveAllocations();
      bool threw = false, fired = false, same = true;
      {
        Greeks g;
        ArmAllocationFailure(k);
        try {
          ValueWithSensitivities(n.a, out, 2, g, StreamLimits{}, runner);
        } catch (const std::bad_alloc&) {
          threw = true;
        }
        fired = DisarmAllocationFailure();
        if (!threw) same = Flat(g, price) == expected;
      }
      ASSERT_EQ(LiveAllocations(), liveBefore) << "allocation " << k;
      ASSERT_EQ(threw, fired) << "allocation " << k;
      ASSERT_TRUE(same) << "allocation " << k;
      thrown += threw ? 1 : 0;
      reachedEnd = !fired;
    }
    EXPECT_TRUE(reachedEnd);
    EXPECT_GT(thrown, 50);
  }
}

}  // namespace
}  // namespace morvik
