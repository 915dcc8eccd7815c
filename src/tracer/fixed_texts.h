// Fixed texts that every logged or converted tracer point names.
//
//   table(pt::statisticsTypeIdentifierText()).getNumberOrAdd(pt::statisticsTypeUpdateText());
//
// They are never destroyed: points may be logged from static destructors and
// exit handlers, after ordinary static objects are gone.
#pragma once

#include <string>

namespace pt {

/// The identifier every tracer point carries: "statisticsTypeStr".
inline const std::string& statisticsTypeIdentifierText() {
  static const std::string* const text = new std::string("statisticsTypeStr");
  return *text;
}

/// Its value on every logged point: "Update".
inline const std::string& statisticsTypeUpdateText() {
  static const std::string* const text = new std::string("Update");
  return *text;
}

}  // namespace pt
