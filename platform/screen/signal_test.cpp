#include "platform/screen/signal.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace screen {
namespace {

// A signal with a result, as GTK's events have: the first handler that
// returns TRUE ends the emission.
guint EventSignal() {
  static const guint id =
      g_signal_new("orn-test-event", G_TYPE_OBJECT, G_SIGNAL_RUN_LAST, 0, g_signal_accumulator_true_handled, nullptr,
                   nullptr, G_TYPE_BOOLEAN, 1, G_TYPE_INT);
  return id;
}

struct Seen {
  int calls = 0;
};

// What the emission returned, how often the later handler ran, and the
// message of what the pump rethrew.
std::string Outcome(gboolean handled, const Seen& later) {
  std::string out = handled ? "handled" : "not handled";
  out += ", later handler " + std::to_string(later.calls);
  try {
    RethrowPending();
  } catch (const std::exception& e) {
    out += ", rethrown: " + std::string(e.what());
  }
  return out;
}

TEST(SignalTest, AHandlerThatThrowsLeavesTheEmissionWithItsZeroAndThePumpRethrows) {
  EventSignal();
  struct Case {
    int value;
    const char* expected;
  } cases[] = {
      {0, "not handled, later handler 1"},                          // FALSE: GTK goes on
      {1, "handled, later handler 0"},                              // TRUE: the emission stops
      {2, "not handled, later handler 1, rethrown: paint failed"},  // thrown: FALSE, kept for the pump
  };
  for (const Case& c : cases) {
    GObject* object = G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr));
    Connect(
        object, "orn-test-event",
        [](GObject*, int value, gpointer) -> gboolean {
          if (value == 2) throw std::runtime_error("paint failed");
          return value == 1;
        },
        nullptr);
    Seen later;
    Connect(
        object, "orn-test-event",
        [](GObject*, int, Seen* seen) -> gboolean {
          ++seen->calls;
          return FALSE;
        },
        &later);
    gboolean handled = TRUE;
    g_signal_emit_by_name(object, "orn-test-event", c.value, &handled);
    EXPECT_EQ(Outcome(handled, later), c.expected) << c.value;
    g_object_unref(object);
  }
  EXPECT_NO_THROW(RethrowPending()) << "rethrown once";
}

TEST(SignalTest, TheFirstExceptionOfAnEventWinsAndASourceKeepsItsOwnToo) {
  EventSignal();
  GObject* object = G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr));
  for (int i = 0; i < 2; ++i)
    Connect(
        object, "orn-test-event",
        [](GObject*, int, int* n) -> gboolean { throw std::runtime_error("handler " + std::to_string(++*n)); },
        new int(0), [](gpointer n, GClosure*) { delete static_cast<int*>(n); });
  gboolean handled = TRUE;
  g_signal_emit_by_name(object, "orn-test-event", 0, &handled);
  EXPECT_FALSE(handled);
  EXPECT_EQ(Outcome(handled, Seen{}), "not handled, later handler 0, rethrown: handler 1");
  g_object_unref(object);

  // An idle source that throws: the loop's iteration returns, the source
  // is removed (its zero), and the pump rethrows.
  int runs = 0;
  g_idle_add(Source([](gpointer data) -> gboolean {
               ++*static_cast<int*>(data);
               throw std::logic_error("idle failed");
             }),
             &runs);
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  EXPECT_EQ(runs, 1);
  EXPECT_THROW(RethrowPending(), std::logic_error);
}

}  // namespace
}  // namespace screen
