#include "analysis/processed_points.h"

#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"
#include "tracer/text_utils.h"

#include <array>
#include <cstdio>
#include <mutex>
#include <numeric>
#include <set>
#include <stdexcept>
#include <utility>

namespace {

const char kRowStart[] = "                            <tr>\n";
const char kNarrowFirstCell[] = "                                <td colspan=2 style=\"width:25px\">&nbsp;</td>\n";
const char kWideFirstCell[] = "                                <td colspan=2 style=\"width:15%\">&nbsp;</td>\n";
const char kSubjectCellStart[] = "                                <td class=\"PhaseDetailText\">";
const char kSubjectCellEnd[] = "</td>\n";
const char kRowEnd[] = "                            </tr>\n";

std::string detailRow(const char* firstCell, const std::string& subject) {
  std::string row;
  row.reserve(sizeof(kRowStart) + sizeof(kWideFirstCell) + sizeof(kSubjectCellStart) + subject.size() +
              sizeof(kSubjectCellEnd) + sizeof(kRowEnd));
  row.append(kRowStart).append(firstCell).append(kSubjectCellStart).append(subject);
  row.append(kSubjectCellEnd).append(kRowEnd);
  return row;
}

template <class Stats>
std::unique_ptr<Stats> copyOf(const std::unique_ptr<Stats>& stats) {
  return stats ? std::make_unique<Stats>(*stats) : nullptr;
}

bool isZero(const pt::DetailedMemStats& stats) {
  return stats.commitMem == 0.0 && stats.resMem == 0.0 && stats.freeMem == 0.0 && stats.dllsMem == 0.0 &&
         stats.nonprocessMem == 0.0;
}

// Every row of a test meets its path, in every analysis: one line per path
// is enough.
void reportUnsplitTestPath(const std::string& userText, const std::string& path, const char* reason) {
  // Never destroyed: an analysis run from an exit handler may still report.
  static std::mutex* const mutex = new std::mutex;
  static std::set<std::string>* const reported = new std::set<std::string>;
  const std::lock_guard<std::mutex> lock(*mutex);
  if (!reported->insert(path).second) return;
  std::fprintf(stderr, "performance_tracer: test path \"%s\" of \"%s\" left unsplit: %s\n", path.c_str(),
               userText.c_str(), reason);
}

// Mapping numbers start at 0, so 0 names a real subject; only negative numbers
// mean that none was given.
bool subjectGiven(std::int32_t number) { return number >= 0; }

}  // namespace

// ------------------------------------------------------------------ Base row

PTKAVLORProcessedDataPoint::PTKAVLORProcessedDataPoint(const PTKAVLORDataPoint* raw, PerformanceTracer* tables)
    : PTKAVLORProcessedDataPoint(raw, PT_KAVLOR, tables) {}

PTKAVLORProcessedDataPoint::PTKAVLORProcessedDataPoint(const PTKAVLORDataPoint* raw, PTDataPointType kind,
                                                       PerformanceTracer* tables)
    : namingTracer(tables), pointType(kind) {
  if (raw == nullptr) return;
  grouping = raw->grouping;
  phase = raw->phase;
  statisticsType = raw->statisticsType;
  gapRow = raw->isGapPoint;
  // A missing snapshot gives zeros.
  basicProcessedMemStats.emplace(raw->basicMemStats.get());
  setDetailedProcessedMemStats(pt::DetailedProcessedMemStats(raw->detailedMemStats.get()));
}

PTKAVLORProcessedDataPoint::PTKAVLORProcessedDataPoint(const PTKAVLORProcessedDataPoint& other, PTDataPointType kind)
    : namingTracer(other.namingTracer),
      pointType(kind),
      grouping(other.grouping),
      phase(other.phase),
      statisticsType(other.statisticsType),
      errorRow(other.errorRow),
      gapRow(other.gapRow),
      HTMLRowNumber(other.HTMLRowNumber),
      numChildren(other.numChildren),
      stackDepth(other.stackDepth),
      parentPhaseID(other.parentPhaseID),
      wcStartTime(other.wcStartTime),
      wcElapsedTime(other.wcElapsedTime),
      cpuStartTime(other.cpuStartTime),
      cpuElapsedTime(other.cpuElapsedTime),
      basicProcessedMemStats(other.basicProcessedMemStats),
      detailedProcessedMemStats(copyOf(other.detailedProcessedMemStats)),
      startDetailedMemStats(copyOf(other.startDetailedMemStats)),
      outlineNumber(other.outlineNumber),
      numDescendants(other.numDescendants) {}

PTKAVLORProcessedDataPoint::~PTKAVLORProcessedDataPoint() = default;

PerformanceTracer& PTKAVLORProcessedDataPoint::tables() const {
  return namingTracer != nullptr ? *namingTracer : *PerformanceTracer::getInstance();
}

std::vector<int> PTKAVLORProcessedDataPoint::childrenIDs() const {
  std::vector<int> ids(static_cast<std::size_t>(numDescendants > 0 ? numDescendants : 0));
  std::iota(ids.begin(), ids.end(), HTMLRowNumber + 1);
  return ids;
}

void PTKAVLORProcessedDataPoint::setDetailedProcessedMemStats(const pt::DetailedProcessedMemStats& stats) {
  const bool allZero = isZero(stats) && stats.commitMemDelta == 0.0 && stats.resMemDelta == 0.0 &&
                       stats.freeMemDelta == 0.0 && stats.dllsMemDelta == 0.0 && stats.nonprocessMemDelta == 0.0;
  detailedProcessedMemStats = allZero ? nullptr : std::make_unique<pt::DetailedProcessedMemStats>(stats);
}

void PTKAVLORProcessedDataPoint::setStartDetailedMemStats(const pt::DetailedMemStats& stats) {
  startDetailedMemStats = isZero(stats) ? nullptr : std::make_unique<pt::DetailedMemStats>(stats);
}

bool PTKAVLORProcessedDataPoint::stringsEqual(const PTKAVLORProcessedDataPoint* other) const {
  return other != nullptr && phase == other->phase && grouping == other->grouping;
}

std::string PTKAVLORProcessedDataPoint::getLCSString() const {
  const PerformanceTracer& names = tables();
  return ptCleanupPhaseName(names.getStringForNumber(EPT_PHASE, phase), true) +
         names.getStringForNumber(EPT_GROUPING, grouping);
}

void PTKAVLORProcessedDataPoint::getAggregationIDs(int& first, int& second, int& third) const {
  first = phase;
  second = -1;
  third = -1;
}

// ------------------------------------------------------- Block-diagram row

PTCLTGXProcessedDataPoint::PTCLTGXProcessedDataPoint(const PTCLTGXDataPoint* raw, PerformanceTracer* tables)
    : PTCLTGXProcessedDataPoint(raw, PT_CLTGX, tables) {}

PTCLTGXProcessedDataPoint::PTCLTGXProcessedDataPoint(const PTCLTGXDataPoint* raw, PTDataPointType kind,
                                                     PerformanceTracer* tables)
    : PTKAVLORProcessedDataPoint(raw, kind, tables) {
  if (raw == nullptr) return;
  model = raw->model;
  target = raw->target;
}

PTCLTGXProcessedDataPoint::~PTCLTGXProcessedDataPoint() = default;

bool PTCLTGXProcessedDataPoint::sameModelTarget(const PTCLTGXProcessedDataPoint& other) const {
  return PTKAVLORProcessedDataPoint::stringsEqual(&other) && model == other.model && target == other.target;
}

bool PTCLTGXProcessedDataPoint::stringsEqual(const PTKAVLORProcessedDataPoint* other) const {
  if (other == nullptr || other->pointType != PT_CLTGX) return false;
  // The kind is a plain field; the cast checks that the fields really exist.
  const auto* same = dynamic_cast<const PTCLTGXProcessedDataPoint*>(other);
  return same != nullptr && sameModelTarget(*same);
}

std::string PTCLTGXProcessedDataPoint::getLCSString() const {
  const PerformanceTracer& names = tables();
  return PTKAVLORProcessedDataPoint::getLCSString() + names.getStringForNumber(EPT_MODEL, model) +
         names.getStringForNumber(EPT_TARGET, target);
}

void PTCLTGXProcessedDataPoint::getAggregationIDs(int& first, int& second, int& third) const {
  first = phase;
  second = model;
  third = -1;
}

std::string PTCLTGXProcessedDataPoint::getMetaStringsTDString() const {
  const PerformanceTracer& names = tables();
  std::string subject = names.getStringForNumber(EPT_GROUPING, grouping);
  // Appended piece by piece: "/" + a temporary string trips a false
  // -Wrestrict warning of GCC 12 at -O3.
  if (subjectGiven(model)) {
    subject += '/';
    subject += names.getStringForNumber(EPT_MODEL, model);
  } else {
    subject += ' ';
  }
  if (subjectGiven(target)) {
    subject += '/';
    subject += names.getStringForNumber(EPT_TARGET, target);
  }
  return detailRow(kNarrowFirstCell, subject);
}

// --------------------------------------------------------- State-chart row

PTQDProcessedDataPoint::PTQDProcessedDataPoint(const PTQuorindelDataPoint* raw, PerformanceTracer* tables)
    : PTCLTGXProcessedDataPoint(raw, PT_QD, tables) {
  if (raw == nullptr) return;
  machine = raw->machine;
  chart = raw->chart;
}

PTQDProcessedDataPoint::~PTQDProcessedDataPoint() = default;

bool PTQDProcessedDataPoint::stringsEqual(const PTKAVLORProcessedDataPoint* other) const {
  if (other == nullptr || other->pointType != PT_QD) return false;
  const auto* same = dynamic_cast<const PTQDProcessedDataPoint*>(other);
  return same != nullptr && sameModelTarget(*same) && machine == same->machine && chart == same->chart;
}

std::string PTQDProcessedDataPoint::getLCSString() const {
  const PerformanceTracer& names = tables();
  return PTCLTGXProcessedDataPoint::getLCSString() + names.getStringForNumber(EPT_MACHINE, machine) +
         names.getStringForNumber(EPT_CHART, chart);
}

void PTQDProcessedDataPoint::getAggregationIDs(int& first, int& second, int& third) const {
  first = phase;
  second = model;
  third = chart;
}

std::string PTQDProcessedDataPoint::getMetaStringsTDString() const {
  struct Subject {
    std::int32_t number;
    EPTStringMappings mapping;
    const char* missing;
  };
  const std::array<Subject, 4> subjects = {{{model, EPT_MODEL, "NO MODEL SPECIFIED"},
                                            {target, EPT_TARGET, "NO TARGET SPECIFIED"},
                                            {machine, EPT_MACHINE, "NO MACHINE SPECIFIED"},
                                            {chart, EPT_CHART, "NO CHART SPECIFIED"}}};
  const PerformanceTracer& names = tables();
  std::string text = names.getStringForNumber(EPT_GROUPING, grouping);
  for (const Subject& subject : subjects) {
    text += '/';
    text += subjectGiven(subject.number) ? names.getStringForNumber(subject.mapping, subject.number) : subject.missing;
  }
  return detailRow(kWideFirstCell, text);
}

// ------------------------------------------------------------- Tracer row

PTTracerProcessedDataPoint::PTTracerProcessedDataPoint(const PTTracerDataPoint* raw, PerformanceTracer* tables)
    : PTKAVLORProcessedDataPoint(raw, PT_TRACER, tables) {
  if (raw == nullptr) return;
  identifiers = PTProcessedIdentifierMap(raw->identifiers);
  applyTestPath();
}

PTTracerProcessedDataPoint::PTTracerProcessedDataPoint(const PTTracerDataPoint* raw, PTIdentifierMapPool& pool,
                                                       PerformanceTracer* tables)
    : PTKAVLORProcessedDataPoint(raw, PT_TRACER, tables) {
  if (raw == nullptr) return;
  identifiers = pool.share(raw->identifiers);
  applyTestPath();
}

void PTTracerProcessedDataPoint::applyTestPath() {
  static const IdentifierName userString("UserString");
  const auto user = identifiers.find(userString);
  if (user == identifiers.end()) return;
  PerformanceTracer& names = tables();
  const PerformanceTracer::TestPathMap& testPaths = names.getMapTestPath();
  const auto path = testPaths.find(names.getStringForNumber(userString.str(), user->second));
  if (path == testPaths.end()) return;
  // A malformed path must not cost the row, nor stop the analysis: the row
  // keeps its identifiers unsplit (addTestPathToIdentifierMap changes nothing
  // when it fails), as the recorder conversion keeps its points.
  try {
    addTestPathToIdentifierMap(path->second);
  } catch (const std::runtime_error& error) {
    reportUnsplitTestPath(path->first, path->second, error.what());
  }
}

PTTracerProcessedDataPoint::PTTracerProcessedDataPoint(const PTTracerProcessedDataPoint& other)
    : PTKAVLORProcessedDataPoint(other, PT_TRACER), identifiers(other.identifiers) {}

PTTracerProcessedDataPoint::PTTracerProcessedDataPoint(const PTKAVLORProcessedDataPoint& other)
    : PTKAVLORProcessedDataPoint(other, PT_TRACER) {}

PTTracerProcessedDataPoint::PTTracerProcessedDataPoint(const PTCLTGXProcessedDataPoint& other)
    : PTTracerProcessedDataPoint(other, other.tables()) {}

PTTracerProcessedDataPoint::PTTracerProcessedDataPoint(const PTQDProcessedDataPoint& other)
    : PTTracerProcessedDataPoint(other, other.tables()) {}

PTTracerProcessedDataPoint::PTTracerProcessedDataPoint(const PTCLTGXProcessedDataPoint& other,
                                                       PerformanceTracer& tables)
    : PTKAVLORProcessedDataPoint(other, PT_TRACER) {
  namingTracer = &tables;
  addSubjectIdentifier(tables, pt::kModelIdentifier, EPT_MODEL, other.model);
  addSubjectIdentifier(tables, pt::kTargetIdentifier, EPT_TARGET, other.target);
}

PTTracerProcessedDataPoint::PTTracerProcessedDataPoint(const PTQDProcessedDataPoint& other, PerformanceTracer& tables)
    : PTTracerProcessedDataPoint(static_cast<const PTCLTGXProcessedDataPoint&>(other), tables) {
  addSubjectIdentifier(tables, pt::kMachineIdentifier, EPT_MACHINE, other.machine);
  addSubjectIdentifier(tables, pt::kChartIdentifier, EPT_CHART, other.chart);
}

PTTracerProcessedDataPoint::~PTTracerProcessedDataPoint() = default;

void PTTracerProcessedDataPoint::addSubjectIdentifier(PerformanceTracer& tables, const char* name,
                                                      EPTStringMappings mapping, std::int32_t number) {
  const std::string identifier(name);
  identifiers[IdentifierName(identifier)] =
      tables.getNumberForString(identifier, tables.getStringForNumber(mapping, number), true);
}

std::string PTTracerProcessedDataPoint::getLCSString() const {
  const PerformanceTracer& names = tables();
  std::string key = PTKAVLORProcessedDataPoint::getLCSString();
  for (const auto& [name, number] : identifiers) key += names.getStringForNumber(name.str(), number);
  return key;
}

void PTTracerProcessedDataPoint::getAggregationIDs(int& first, int& second, int& third) const {
  first = phase;
  second = getIdentifierNum("model");
  third = getIdentifierNum("chart");
}

int PTTracerProcessedDataPoint::getIdentifierNum(std::string_view name) const { return identifiers.number(name); }

void PTTracerProcessedDataPoint::addTestPathToIdentifierMap(const std::string& path) {
  PTIdentifierMap split = makeIdentifierMap();
  PerformanceTracer& names = tables();
  names.addTestPathToIdentifierMap(split, path);
  for (const auto& [name, number] : split) {
    names.insertIdentifierToMapCollections(name.str());
    names.addToIdentifierRawEnum(name.str());
    identifiers[name] = number;
  }
}

std::string PTTracerProcessedDataPoint::getMetaStringsTDString() const {
  const PerformanceTracer& names = tables();
  std::string subject = names.getStringForNumber(EPT_GROUPING, grouping);
  for (const auto& [name, number] : identifiers) {
    subject += '/';
    subject += names.getStringForNumber(name.str(), number);
  }
  return detailRow(kNarrowFirstCell, subject);
}

DynamicEnum& PTTracerProcessedDataPoint::identifierEnum() {
  if (!identifierEnum_) identifierEnum_ = std::make_unique<DynamicEnum>();
  return *identifierEnum_;
}
