#include "platform/instrument/controls.h"

#include "platform/immortal.h"

namespace instrument {

namespace {

constinit platform::Immortal<Controls> immortalControls;

}  // namespace

constinit Controls& controls = immortalControls.value;

void ControlElement::setContextFilter(ContextFilter filter) {
  std::shared_ptr<const ContextFilter> next;
  if (filter) next = std::make_shared<const ContextFilter>(std::move(filter));
  std::lock_guard<std::mutex> lock(filterMutex_);
  hasFilter_.store(next != nullptr, std::memory_order_release);
  filter_ = std::move(next);
}

int ControlElement::getContextEnabledImpl(const ContextSet& context) const {
  std::shared_ptr<const ContextFilter> filter;
  {
    std::lock_guard<std::mutex> lock(filterMutex_);
    filter = filter_;
  }
  // Called outside the lock: a filter may itself consult or change controls.
  return filter ? (*filter)(context) : 0;
}

ControlElement& Controls::getHandle(std::string_view name) {
  {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    if (registry_) {
      if (auto it = registry_->find(name); it != registry_->end()) return *it->second;
    }
  }
  std::unique_lock<std::shared_mutex> lock(mutex_);
  if (!registry_) registry_ = std::make_unique<Registry>();
  auto [it, inserted] = registry_->try_emplace(std::string(name));
  if (inserted) it->second = std::make_unique<ControlElement>(std::string(name));
  return *it->second;
}

}  // namespace instrument
