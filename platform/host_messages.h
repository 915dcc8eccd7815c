// Host messages: message-identifier errors, warnings and console output.
//
//   haErrorMsgIdAndTxt("OpenFileFailed", fileName);  // throws platform::HostError
//   haWarningMsgId("performance_tracer:PerformanceTracer:NoCLTestInfo", suggestion);
//
// Every error towards the host language is one exception type, HostError, whose
// identifier is "performance_tracer:PerformanceTracer:" plus a message key and
// whose what() is the English text of that key in the message catalog, with
// the text arguments filled in. The host's own components (the object system
// "vesk", the virtual machine "hvm") raise the same exception under their own
// identifiers, passed whole as the key ("vesk:UndefinedClass"). Warnings go to a replaceable sink (standard
// error by default) so that tests can capture them.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// Identifier prefix of every message this library raises.
inline constexpr std::string_view kMessageCatalog = "performance_tracer:PerformanceTracer";

/// The catalog text for `key` ("OpenFileFailed", ...) with each "%s" replaced
/// by the next argument; an unknown key gives the identifier and the arguments.
std::string hostMessageText(std::string_view key, const std::vector<std::string>& arguments);

class HostError : public std::runtime_error {
 public:
  HostError(std::string_view key, std::vector<std::string> arguments);

  /// "performance_tracer:PerformanceTracer:<key>".
  const std::string& identifier() const noexcept { return identifier_; }
  const std::string& key() const noexcept { return key_; }
  const std::vector<std::string>& arguments() const noexcept { return arguments_; }

 private:
  std::string identifier_;
  std::string key_;
  std::vector<std::string> arguments_;
};

/// A warning as delivered to the sink.
struct HostWarning {
  std::string identifier;  ///< as issued, e.g. "performance_tracer:PerformanceTracer:NoCLTestInfo"
  std::vector<std::string> arguments;
  std::string message;  ///< catalog text with the arguments filled in
};

using WarningSink = std::function<void(const HostWarning&)>;

/// Installs `sink` for every later warning and returns the previous one; an
/// empty sink restores the default, which prints "Warning: <message>" to stderr.
WarningSink setWarningSink(WarningSink sink);

[[noreturn]] void throwHostError(std::string_view key, std::vector<std::string> arguments);
void issueWarning(std::string_view identifier, std::vector<std::string> arguments);

}  // namespace platform

/// Throws platform::HostError for the catalog key with text arguments:
/// `haErrorMsgIdAndTxt("DataWriteFail", "Raw Data", fileName)`.
template <class... Args>
[[noreturn]] void haErrorMsgIdAndTxt(std::string_view key, const Args&... arguments) {
  platform::throwHostError(key, {std::string(std::string_view(arguments))...});
}

/// Issues a warning by full message identifier (a key alone is accepted too).
template <class... Args>
void haWarningMsgId(std::string_view identifier, const Args&... arguments) {
  platform::issueWarning(identifier, {std::string(std::string_view(arguments))...});
}

/// printf to the host's command window, which here is standard output.
int hxPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
