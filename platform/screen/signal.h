#pragma once
// The one way GTK and GLib call the screen: every signal handler, drawing
// included, and every idle or timeout callback is reached through a
// trampoline that runs it inside Guard (pump.h); a callback that must tidy
// up after a throw calls Guard itself. GTK's frames are C: an
// exception that unwound through them would end the process or leave GTK
// half-way through its own work. Guard keeps the exception for the pump,
// which rethrows it in the C++ frame that runs the loop; GTK gets the
// handler type's zero (FALSE for an event: GTK goes on with its own
// handling; G_SOURCE_REMOVE for a source).
//
//   Connect<&FormWindow::OnDraw>(layout, "draw", this);
//   Connect(button, "clicked", [](GtkButton*, View* self) { ... }, this);
//   g_idle_add(Source([](gpointer data) { ...; return G_SOURCE_REMOVE; }), this);
//
// A handler is a function or a lambda without captures (what it needs
// comes through the signal's data).

#include <glib-object.h>

#include <type_traits>

#include "platform/screen/pump.h"

namespace screen {
namespace detail {

template <class R, class Work>
R Guarded(Work&& work) {
  if constexpr (std::is_void_v<R>) {
    Guard(work);
  } else {
    R result{};
    Guard([&] { result = work(); });
    return result;
  }
}

template <class F, class R, class... A>
auto GuardedLambda(R (F::*)(A...) const) {
  static_assert(std::is_empty_v<F> && std::is_default_constructible_v<F>, "a handler takes no captures");
  return +[](A... args) -> R { return Guarded<R>([&] { return F{}(args...); }); };
}

template <auto Handler>
struct Trampoline;
template <class R, class... A, R (*Handler)(A...)>
struct Trampoline<Handler> {
  static R Call(A... args) {
    return Guarded<R>([&] { return Handler(args...); });
  }
};

inline gulong ConnectCall(gpointer instance, const char* signal, GCallback call, gpointer data, GClosureNotify release,
                          GConnectFlags flags) {
  return g_signal_connect_data(instance, signal, call, data, release, flags);
}

}  // namespace detail

// Connects the function `Handler` to `signal` of `instance` with `data` as
// its last argument; `release` (if any) frees `data` when the connection goes.
template <auto Handler>
gulong Connect(gpointer instance, const char* signal, gpointer data, GClosureNotify release = nullptr) {
  return detail::ConnectCall(instance, signal, G_CALLBACK(&detail::Trampoline<Handler>::Call), data, release,
                             GConnectFlags{});
}
// The same with a lambda.
template <class F>
gulong Connect(gpointer instance, const char* signal, F, gpointer data, GClosureNotify release = nullptr) {
  return detail::ConnectCall(instance, signal, G_CALLBACK(detail::GuardedLambda(&F::operator())), data, release,
                             GConnectFlags{});
}
// A lambda run after GTK's own handler of the signal.
template <class F>
gulong ConnectAfter(gpointer instance, const char* signal, F, gpointer data) {
  return detail::ConnectCall(instance, signal, G_CALLBACK(detail::GuardedLambda(&F::operator())), data, nullptr,
                             G_CONNECT_AFTER);
}

// The function `Handler`, or a lambda, as the callback of an idle or
// timeout source.
template <auto Handler>
GSourceFunc Source() {
  return &detail::Trampoline<Handler>::Call;
}
template <class F>
GSourceFunc Source(F) {
  return detail::GuardedLambda(&F::operator());
}

}  // namespace screen
