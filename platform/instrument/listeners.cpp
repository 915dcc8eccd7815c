#include "platform/instrument/listeners.h"

#include "platform/immortal.h"

#include <algorithm>
#include <mutex>

namespace instrument {

namespace {

constinit platform::Immortal<Listeners> immortalListeners;

}  // namespace

constinit Listeners& listeners = immortalListeners.value;

void Listeners::add(InstrumentListener& listener) {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  if (std::find(attached_.begin(), attached_.end(), &listener) == attached_.end()) {
    attached_.push_back(&listener);
  }
  active_.store(true, std::memory_order_release);
}

void Listeners::remove(InstrumentListener& listener) {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  std::erase(attached_, &listener);
  active_.store(!attached_.empty(), std::memory_order_release);
}

EventId Listeners::onEventStart(const ControlElement& handle, const ContextSet& context, std::uint64_t source) {
  EventId id = freshId(source);
  std::shared_lock<std::shared_mutex> lock(mutex_);
  for (InstrumentListener* listener : attached_) listener->onEventStart(handle.name(), context, id);
  return id;
}

void Listeners::onEventStop(const ControlElement& handle, const ContextSet& context, EventId id) {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  for (InstrumentListener* listener : attached_) listener->onEventStop(handle.name(), context, id);
}

EventId Listeners::onEventInstant(const ControlElement& handle, const ContextSet& context, std::uint64_t source) {
  EventId id = freshId(source);
  std::shared_lock<std::shared_mutex> lock(mutex_);
  for (InstrumentListener* listener : attached_) listener->onEventInstant(handle.name(), context, id);
  return id;
}

}  // namespace instrument
