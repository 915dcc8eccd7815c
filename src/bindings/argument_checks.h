// Argument checks shared by the host methods: input counts, evenness of
// name/value lists, text and logical arguments, and name/value pairs.
//
//   pt::bindings::checkInputCount(nInputs, 2, 8);            // MinParamsNotReached "2" / MaxParamsExceeded "8"
//   std::string g = pt::bindings::textArgument(inputs[0], "Grouping");
//
// Every failure raises the host error of its key with the label or name as
// message argument. A handler checks counts first, then evenness, then the
// pairs, then the names it requires.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/host_array.h"

namespace pt::bindings {

/// Input `index`, or null when the call passed fewer inputs.
inline const haArray* inputAt(int nInputs, const haArray* const inputs[], int index) {
  return index < nInputs ? inputs[index] : nullptr;
}

/// A negative bound is no bound.
void checkInputCount(int nInputs, int minimum, int maximum);
/// ExpectedEvenNumberOfParameters for an odd count.
void checkEvenInputCount(int nInputs);

/// A character row or column vector.
bool isTextArgument(const haArray* value);
/// The text, or ParameterMismatchString with `label`.
std::string textArgument(const haArray* value, std::string_view label);
/// The flag, or ParameterMismatchBoolean with `label`.
bool logicalArgument(const haArray* value, std::string_view label);

/// What a name/value parameter takes.
enum class ValueKind {
  kAny,         ///< anything; read as text where text is wanted
  kText,        ///< a character vector
  kLogical,     ///< a logical scalar
  kTextOrCell,  ///< a character vector or a cell array
};

struct NamedParameter {
  std::string_view name;  ///< lower case
  ValueKind kind;
  /// Further check of a value of the right kind, raising its own error; run
  /// as the pair is reached, so errors come in the order of the pairs.
  void (*check)(const haArray* value) = nullptr;
};

/// Name/value inputs after the count and evenness checks: names lower-cased,
/// a later pair replacing an earlier one of the same name.
class NameValueArguments {
 public:
  /// Walks the pairs in order. A name that is not text raises `nameNotText`
  /// (InvalidNames or ExpectedNames with its argument); an unknown name
  /// raises InvalidNames; a value of the wrong kind raises
  /// ParameterMismatchString with the lower-case name.
  NameValueArguments(int nInputs, const haArray* const inputs[], std::span<const NamedParameter> known,
                     void (*nameNotText)());

  bool has(std::string_view name) const { return find(name) != nullptr; }
  /// The value given for the name, or null.
  const haArray* find(std::string_view name) const;
  /// The value as text, or `fallback` when the name was not given.
  std::string text(std::string_view name, std::string fallback = {}) const;

 private:
  std::vector<std::pair<std::string, const haArray*>> values_;
};

std::string toLowerCase(std::string text);

}  // namespace pt::bindings
