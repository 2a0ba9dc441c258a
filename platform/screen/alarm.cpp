#include "platform/screen/alarm.h"

#include <glib.h>

#include <algorithm>
#include <utility>

#include "platform/screen/pump.h"
#include "platform/screen/signal.h"

namespace screen {

Alarm::~Alarm() { Cancel(); }

void Alarm::Set(int64_t dueMs, std::function<void()> work) {
  Cancel();
  due_ = dueMs;
  work_ = std::move(work);
  const int64_t delay = std::clamp<int64_t>(dueMs - ClockMs(), 0, G_MAXUINT);
  source_ = g_timeout_add(static_cast<guint>(delay), Source<&Alarm::Fire>(), this);
}

void Alarm::Cancel() {
  if (source_ != 0) g_source_remove(source_);
  source_ = 0;
}

int Alarm::Fire(void* data) {
  auto* self = static_cast<Alarm*>(data);
  // GLib's clock and ours round differently: never run before our due time.
  if (const int64_t early = self->due_ - ClockMs(); early > 0) {
    self->source_ = g_timeout_add(static_cast<guint>(early), Source<&Alarm::Fire>(), self);
    return G_SOURCE_REMOVE;
  }
  self->source_ = 0;
  // The work may set the alarm again; it runs from a copy for that reason.
  std::function<void()> work = self->work_;
  Guard(work);
  return G_SOURCE_REMOVE;
}

}  // namespace screen
