// Test-path identifiers: the texts that name a test split into file, suite,
// case, iteration and result identifiers.
#include "tracer/performance_tracer.h"

#include <sstream>
#include <stdexcept>

namespace {

const char kTestFileNotFound[] = "Invalid input string format: TestFile not found.";
const char kSuiteAndCaseNotFound[] = "Invalid input string format: TestSuite and TestCase not found.";
constexpr std::string_view kResultsMarker = "Results:";

// Blanks only: tabs and newlines are part of the name. A text of blanks alone
// is kept as it is.
void stripBlanks(std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

void PerformanceTracer::processTestPathForRawData(PTTracerDataPoint* point) {
  if (point == nullptr) return;
  PTIdentifierMap& identifiers = point->identifiers;
  if (const std::int32_t user = point->getIdentifierNum("UserString"); user != -1) {
    auto path = mapTestPath_.find(getStringForNumber("UserString", user));
    if (path != mapTestPath_.end()) addTestPathToIdentifierMap(identifiers, path->second);
  }
  if (const std::int32_t testPath = point->getIdentifierNum("TestPath"); testPath != -1) {
    addTestPathToIdentifierMap_TestSuitePath(identifiers, getStringForNumber("TestPath", testPath));
  } else if (const std::int32_t result = point->getIdentifierNum("TestResult"); result != -1) {
    addTestPathToIdentifierMap_TestSuitePath(identifiers, getStringForNumber("TestResult", result));
  }
}

void PerformanceTracer::addTestPathToIdentifierMap(PTIdentifierMap& identifiers, const std::string& path) {
  std::istringstream stream(path);
  std::string file;
  if (!std::getline(stream, file, '>')) throw std::runtime_error(kTestFileNotFound);
  // Everything up to "#" is suite and case; the case follows the last ">", so
  // a suite may itself hold ">".
  std::string suiteAndCase;
  std::getline(stream, suiteAndCase, '#');
  const std::size_t lastSeparator = suiteAndCase.rfind('>');
  if (lastSeparator == std::string::npos) throw std::runtime_error(kSuiteAndCaseNotFound);
  std::string suite = suiteAndCase.substr(0, lastSeparator);
  std::string testCase = suiteAndCase.substr(lastSeparator + 1);
  std::string iteration;
  std::getline(stream, iteration);

  const std::pair<const char*, std::string*> parts[] = {
      {"TestFile", &file}, {"TestSuite", &suite}, {"TestCase", &testCase}, {"IterationName", &iteration}};
  for (const auto& [name, text] : parts) {
    stripBlanks(*text);
    insertIdentifierToMapCollections(name);
  }
  // Numbered in this tracer's tables: the points of a tracer refer to its own.
  for (const auto& [name, text] : parts) identifiers[name] = getNumberForString(name, *text, true);
}

void PerformanceTracer::addTestPathToIdentifierMap_TestSuitePath(PTIdentifierMap& identifiers,
                                                                 const std::string& text) {
  std::string file;
  std::string suite;
  const std::size_t separator = text.find('>');
  const std::size_t results = text.find(kResultsMarker);
  if (separator != std::string::npos) {
    file = text.substr(0, separator);
    suite = text.substr(separator + 1);
    stripBlanks(file);
    stripBlanks(suite);
  } else if (results != std::string::npos) {
    // "...Results: <result>/<file>[/<suite>]", taken as written.
    const std::size_t fileStart = text.find('/', results);
    if (fileStart == std::string::npos) throw std::runtime_error(kTestFileNotFound);
    const std::string result = text.substr(results, fileStart - results);
    const std::size_t suiteStart = text.find('/', fileStart + 1);
    if (suiteStart == std::string::npos) {
      file = text.substr(fileStart + 1);
    } else {
      file = text.substr(fileStart + 1, suiteStart - fileStart - 1);
      suite = text.substr(suiteStart + 1);
    }
    insertIdentifierToMapCollections("TestResult");
    identifiers["TestResult"] = getNumberForString("TestResult", result, true);
  }
  insertIdentifierToMapCollections("TestFile");
  insertIdentifierToMapCollections("TestSuite");
  identifiers["TestFile"] = getNumberForString("TestFile", file, true);
  identifiers["TestSuite"] = getNumberForString("TestSuite", suite, true);
}
