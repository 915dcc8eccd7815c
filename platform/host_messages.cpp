#include "platform/host_messages.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <utility>

namespace platform {
namespace {

struct CatalogEntry {
  std::string_view key;
  std::string_view text;  // each "%s" takes the next argument
};

constexpr CatalogEntry kCatalog[] = {
    {"ExpectedEvenNumberOfParameters", "Wrong number of parameters: names and values must come in pairs."},
    {"MinParamsNotReached", "Not enough input arguments: at least %s expected."},
    {"MaxParamsExceeded", "Too many input arguments: at most %s allowed."},
    {"ParameterMismatchString", "Parameter '%s' must be a character vector."},
    {"ParameterMismatchBoolean", "Parameter '%s' must be a logical scalar (true or false)."},
    {"InvalidNames", "Invalid parameter names."},
    {"ExpectedNames", "Expected parameter names: %s"},
    {"UnexpectedValue", "Unexpected value for '%s'."},
    {"InvalidMetric", "Invalid metric. The metric must be '%s', '%s' or '%s'."},
    {"InvalidFormat", "Invalid format. The format must be '%s' or '%s'."},
    {"NoRawTracerData", "There is no raw tracer data to report."},
    {"NoRawTracerDataLoaded", "There is no raw tracer data to compare from '%s'."},
    {"WindowsOnlyFeature", "%s are only available on Windows."},
    {"AddGroupingExpectedString", "Every member of a grouping must be a character vector."},
    {"AddGroupingError", "Unable to add the grouping: %s"},
    {"RemoveGroupingError", "Unable to remove grouping '%s': there is no such grouping."},
    {"MissingKvdExt", "The file name must have the extension '.kvd'."},
    {"OpenFileFailed", "Unable to open file '%s': %s."},
    {"WriteFileFailed", "Unable to write file '%s'."},
    {"DataWriteFail", "Unable to write the %s to file '%s'."},
    {"CompareFailed", "Unable to compare %s with %s: the two recordings hold different kinds of data."},
    {"CorruptKvdFile", "The file '%s' is damaged or is not a trace data file: %s"},
    {"SkippedRecords", "Skipped %s of the records in '%s': %s."},
    {"NoCLTestInfo",
     "The data holds no test information, so a model-based report was written instead. "
     "To ask for it directly, call with %s."},
    {"NotAvailable", "'%s' is not available in this version of the library."},
    // The host's own components raise errors under identifiers of their own.
    {"vesk:UndefinedClass", "Unable to find class '%s'."},
    {"vesk:UndefinedMethod", "No method '%s' in class '%s'."},
    {"vesk:UndefinedFunction", "Undefined function '%s'."},
    {"vesk:NameAlreadyDefined", "The name '%s' is already defined."},
    {"vesk:NamespaceLocked", "Namespace '%s' is locked: nothing can be added to it."},
    {"vesk:NotStatic", "'%s' is not a static method or function."},
    {"vesk:NotInstanceMethod", "'%s' is not a method of the object."},
    {"vesk:NoConstructor", "Class '%s' has no constructor."},
    {"vesk:TooManyInputs", "Too many input arguments for '%s': at most %s."},
    {"vesk:TooManyOutputs", "Too many output arguments for '%s': at most %s."},
    {"vesk:UnknownType", "Unknown type '%s' in the signature of '%s'."},
    {"vesk:InputTypeMismatch", "Input %s of '%s' must be of type '%s'."},
    {"vesk:OutputNotSet", "'%s' did not set output %s."},
    {"hvm:UndefinedFunction", "Undefined function '%s' in the host virtual machine."},
};

// An identifier of another component ("vesk:UndefinedClass") is its own key.
std::string_view keyOf(std::string_view identifier) {
  if (identifier.size() > kMessageCatalog.size() && identifier.starts_with(kMessageCatalog) &&
      identifier[kMessageCatalog.size()] == ':')
    return identifier.substr(kMessageCatalog.size() + 1);
  return identifier;
}

std::string fullIdentifier(std::string_view key) {
  if (key.find(':') != std::string_view::npos) return std::string(key);
  return std::string(kMessageCatalog) + ":" + std::string(key);
}

std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}

WarningSink& currentSink() {
  static WarningSink sink;
  return sink;
}

}  // namespace

std::string hostMessageText(std::string_view key, const std::vector<std::string>& arguments) {
  key = keyOf(key);
  for (const CatalogEntry& entry : kCatalog) {
    if (entry.key != key) continue;
    std::string text;
    std::size_t next = 0;
    for (std::size_t i = 0; i < entry.text.size(); ++i) {
      if (entry.text.compare(i, 2, "%s") == 0) {
        if (next < arguments.size()) text += arguments[next++];
        ++i;
      } else {
        text += entry.text[i];
      }
    }
    return text;
  }
  std::string text = fullIdentifier(key);
  for (std::size_t i = 0; i < arguments.size(); ++i) text += (i == 0 ? ": " : ", ") + arguments[i];
  return text;
}

HostError::HostError(std::string_view key, std::vector<std::string> arguments)
    : std::runtime_error(hostMessageText(key, arguments)),
      identifier_(fullIdentifier(keyOf(key))),
      key_(keyOf(key)),
      arguments_(std::move(arguments)) {}

void throwHostError(std::string_view key, std::vector<std::string> arguments) {
  throw HostError(key, std::move(arguments));
}

WarningSink setWarningSink(WarningSink sink) {
  std::lock_guard<std::mutex> lock(sinkMutex());
  return std::exchange(currentSink(), std::move(sink));
}

void issueWarning(std::string_view identifier, std::vector<std::string> arguments) {
  HostWarning warning{std::string(identifier), std::move(arguments), {}};
  warning.message = hostMessageText(identifier, warning.arguments);
  WarningSink sink;
  {
    std::lock_guard<std::mutex> lock(sinkMutex());
    sink = currentSink();  // called unlocked, so a sink may itself warn
  }
  if (sink)
    sink(warning);
  else
    std::cerr << "Warning: " << warning.message << '\n';
}

}  // namespace platform

int hxPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = std::vprintf(format, args);
  va_end(args);
  return written;
}
