// Controls: named switches that decide which events are emitted.
//
//   instrument::controls.enable("loading");
//   instrument::ControlElement& handle = instrument::controls.getHandle("loading");
//
// A control is created, disabled, on first use of its name and lives as long
// as its registry, so handles and the name views they hand out stay valid.
// Every operation may be called from any thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/instrument/context_entry.h"

namespace instrument {

/// Judges an event by its context: 1 enabled, 0 no opinion, any other value disabled.
using ContextFilter = std::function<int(const ContextSet&)>;

class ControlElement {
 public:
  explicit ControlElement(std::string name) : name_(std::move(name)) {}
  ControlElement(const ControlElement&) = delete;
  ControlElement& operator=(const ControlElement&) = delete;

  std::string_view name() const { return name_; }
  bool isEnabled() const { return enabled_.load(std::memory_order_relaxed); }
  void setEnabled(bool enabled) { enabled_.store(enabled, std::memory_order_relaxed); }

  bool hasContextFilter() const { return hasFilter_.load(std::memory_order_acquire); }
  /// An empty filter removes context filtering.
  void setContextFilter(ContextFilter filter);
  /// The filter's verdict on `context`: 1 enabled, 0 no opinion (also without
  /// a filter), any other value disabled.
  int getContextEnabledImpl(const ContextSet& context) const;

 private:
  const std::string name_;
  std::atomic<bool> enabled_{false};
  std::atomic<bool> hasFilter_{false};
  mutable std::mutex filterMutex_;
  std::shared_ptr<const ContextFilter> filter_;
};

class Controls {
 public:
  Controls() = default;
  Controls(const Controls&) = delete;
  Controls& operator=(const Controls&) = delete;

  /// The control of that name; the same object for the same name.
  ControlElement& getHandle(std::string_view name);
  void enable(std::string_view name) { getHandle(name).setEnabled(true); }
  void disable(std::string_view name) { getHandle(name).setEnabled(false); }

 private:
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };
  using Registry = std::unordered_map<std::string, std::unique_ptr<ControlElement>, NameHash, std::equal_to<>>;

  std::shared_mutex mutex_;
  std::unique_ptr<Registry> registry_;  // made on first use so that `controls` needs no dynamic initialisation
};

/// The process's controls; never destroyed.
extern Controls& controls;

}  // namespace instrument
