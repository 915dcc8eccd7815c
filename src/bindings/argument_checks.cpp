#include "bindings/argument_checks.h"

#include <algorithm>

#include "host/cell_records.h"
#include "platform/host_messages.h"

namespace pt::bindings {

void checkInputCount(int nInputs, int minimum, int maximum) {
  if (minimum >= 0 && nInputs < minimum) haErrorMsgIdAndTxt("MinParamsNotReached", std::to_string(minimum));
  if (maximum >= 0 && nInputs > maximum) haErrorMsgIdAndTxt("MaxParamsExceeded", std::to_string(maximum));
}

void checkEvenInputCount(int nInputs) {
  if (nInputs % 2 != 0) haErrorMsgIdAndTxt("ExpectedEvenNumberOfParameters");
}

bool isTextArgument(const haArray* value) { return haIsChar(value) && haIsVector(value); }

std::string textArgument(const haArray* value, std::string_view label) {
  if (!isTextArgument(value)) haErrorMsgIdAndTxt("ParameterMismatchString", label);
  return ptCreateStringFrom_haArray(value);
}

bool logicalArgument(const haArray* value, std::string_view label) {
  if (!haIsLogicalScalar(value)) haErrorMsgIdAndTxt("ParameterMismatchBoolean", label);
  return haIsLogicalScalarTrue(value);
}

std::string toLowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

NameValueArguments::NameValueArguments(int nInputs, const haArray* const inputs[],
                                       std::span<const NamedParameter> known, void (*nameNotText)()) {
  for (int i = 0; i + 1 < nInputs; i += 2) {
    if (!isTextArgument(inputs[i])) nameNotText();
    const std::string name = toLowerCase(ptCreateStringFrom_haArray(inputs[i]));
    const auto parameter =
        std::find_if(known.begin(), known.end(), [&](const NamedParameter& p) { return p.name == name; });
    if (parameter == known.end()) haErrorMsgIdAndTxt("InvalidNames");
    const haArray* value = inputs[i + 1];
    const bool fits = parameter->kind == ValueKind::kAny ||
                      (parameter->kind == ValueKind::kText && isTextArgument(value)) ||
                      (parameter->kind == ValueKind::kLogical && haIsLogicalScalar(value)) ||
                      (parameter->kind == ValueKind::kTextOrCell && (isTextArgument(value) || haIsCell(value)));
    if (!fits) haErrorMsgIdAndTxt("ParameterMismatchString", name);
    if (parameter->check != nullptr) parameter->check(value);
    auto existing =
        std::find_if(values_.begin(), values_.end(), [&](const auto& entry) { return entry.first == name; });
    if (existing != values_.end())
      existing->second = value;
    else
      values_.emplace_back(name, value);
  }
}

const haArray* NameValueArguments::find(std::string_view name) const {
  for (const auto& [entryName, value] : values_)
    if (entryName == name) return value;
  return nullptr;
}

std::string NameValueArguments::text(std::string_view name, std::string fallback) const {
  const haArray* value = find(name);
  return value ? ptCreateStringFrom_haArray(value) : std::move(fallback);
}

}  // namespace pt::bindings
