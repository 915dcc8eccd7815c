// Calls into the library as host code makes them: through the host object
// system, with host arrays in and out.
//
//   auto out = pt_test::callTracer("enable", {"G", true}, 1);
//   platform::HostError e = pt_test::raised([] { pt_test::callTracer("enable", {}, 1); });
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <variant>
#include <vector>

#include "bindings/module_entry.h"
#include "platform/host_array.h"
#include "platform/host_messages.h"
#include "platform/object_system.h"
#include "support/host_records.h"
#include "support/raised.h"

namespace pt_test {

/// An input written as a value: text, flag, number, a cell (empty or of one
/// number), no array, or an array made by hand (taken over); `make` builds
/// its host array.
struct EmptyCell {};
struct NumberCell {};
using In = std::variant<const char*, bool, double, EmptyCell, NumberCell, std::nullptr_t, haArray*>;

inline haArray* make(const In& input) {
  switch (input.index()) {
    case 0: return haCreateString(std::get<0>(input));
    case 1: return haCreateLogicalScalar(std::get<1>(input));
    case 2: return haCreateDoubleScalar(std::get<2>(input));
    case 3: return cellRecord({}).release();
    case 4: return cellRecord({haCreateDoubleScalar(1)}).release();
    case 5: return nullptr;
    default: return std::get<6>(input);
  }
}

/// Inputs owned for the length of one call.
class Inputs {
 public:
  explicit Inputs(const std::vector<In>& values) {
    for (const In& value : values) owned_.emplace_back(make(value));
    for (const auto& value : owned_) views_.push_back(value.get());
  }
  std::span<const haArray* const> span() const { return views_; }

 private:
  std::vector<platform::HostArrayPtr> owned_;
  std::vector<const haArray*> views_;
};

/// Calls a static method of ZezaDazod.Tracer, taking over the inputs.
inline std::vector<platform::HostArrayPtr> callTracer(const char* method, const std::vector<In>& inputs,
                                                      int nOutputs = 0) {
  KVInitialize_performance_tracer();
  const Inputs owned(inputs);
  return vesk::callStaticMethod("ZezaDazod.Tracer", method, owned.span(), nOutputs);
}

}  // namespace pt_test
