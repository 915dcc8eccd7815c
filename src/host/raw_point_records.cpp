// The host cell records of the four raw point kinds: writing them and the
// constructors that read them back. Names travel as texts and are numbered
// again by the reading tracer, so records carry no mapping numbers.
#include "host/raw_point_records.h"

#include <boost/functional/hash.hpp>
#include <boost/make_shared.hpp>
#include <boost/unordered_map.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>

#include "host/cell_records.h"
#include "platform/host_array.h"
#include "platform/huge_page_pool.h"
#include "tracer/data_points.h"
#include "tracer/dynamic_enum.h"
#include "tracer/performance_tracer.h"
#include "tracer/text_utils.h"

// --------------------------------------------------------------- Name cache

namespace {

// Looked up by the texts read, which are std::strings already. (Boost's own
// string hash combines byte by byte; the standard one is several times faster.)
template <class Value>
using TextMap = boost::unordered_map<std::string, Value, std::hash<std::string>>;

}  // namespace

struct PTRecordNameCache::Names {
  // Reading: text → number, per mapping, in the tables of `numberSource`.
  const PerformanceTracer* numberSource = nullptr;
  std::array<TextMap<std::int32_t>, kStringMappingCount> numbers;
  // Reading: identifier element "n:value" → identifier and value number, for
  // the enumeration `identifierSource` named the numbers through.
  const void* identifierSource = nullptr;
  TextMap<std::pair<IdentifierName, std::int32_t>> identifiers;
  // Writing: (mapping, number) → text as written; (identifier, value) → element;
  // both for the tables of `textSource`.
  const PerformanceTracer* textSource = nullptr;
  std::unordered_map<std::uint64_t, std::string> texts;
  boost::unordered_map<std::pair<IdentifierName, std::int32_t>, std::string> elements;
};

namespace {
thread_local PTRecordNameCache* activeCache = nullptr;
}  // namespace

PTRecordNameCache::PTRecordNameCache() : names_(std::make_unique<Names>()), previous_(activeCache) {
  activeCache = this;
}

PTRecordNameCache::~PTRecordNameCache() { activeCache = previous_; }

namespace {

PTRecordNameCache::Names* activeNames() { return PTRecordNameCache::active(); }

// Looks `key` up in `map`, or computes, remembers and returns its value.
template <class Map, class Key, class Compute>
const typename Map::mapped_type& remembered(Map& map, const Key& key, Compute compute) {
  if (auto found = map.find(key); found != map.end()) return found->second;
  return map.emplace(typename Map::key_type(key), compute()).first->second;
}

// ----------------------------------------------------------------- Records

constexpr const char* kRecordVersion = "1";

// Elements of a record besides its names and identifiers: version, kind,
// start flag, two times, five detailed and three basic memory values.
constexpr std::size_t kFixedElements = 13;

enum class Layout { Current, Older, Unknown };

// A record that opens with text carries its version; one that opens with
// anything else is of the older layout, which starts directly with the kind.
Layout readLayout(const haArray* record, unsigned long* cursor) {
  if (!ptCellArrayHasVersionString(record, cursor)) return Layout::Older;
  return ptGetStringFromCellArray(record, cursor) == kRecordVersion ? Layout::Current : Layout::Unknown;
}

std::int32_t readName(PerformanceTracer& tables, EPTStringMappings mapping, const haArray* record,
                      unsigned long* cursor) {
  const std::string text = ptGetStringFromCellArray(record, cursor);
  const auto number = [&] { return tables.getNumberForString(mapping, text, true); };
  PTRecordNameCache::Names* names = activeNames();
  if (names == nullptr || !isStringMapping(mapping)) return number();
  // Numbers remembered for another tracer's tables mean nothing in these.
  if (names->numberSource != &tables) {
    for (auto& numbers : names->numbers) numbers.clear();
    names->numberSource = &tables;
  }
  return remembered(names->numbers[mapping], text, number);
}

// The names being written, for the tables of `tables`; null without a cache.
PTRecordNameCache::Names* writingNames(const PerformanceTracer& tables) {
  PTRecordNameCache::Names* names = activeNames();
  if (names != nullptr && names->textSource != &tables) {
    names->texts.clear();
    names->elements.clear();
    names->textSource = &tables;
  }
  return names;
}

// The text a name is written as; the phase is cleaned of the current root.
std::string nameText(const PerformanceTracer& tables, EPTStringMappings mapping, std::int32_t number) {
  const auto text = [&] {
    std::string name = tables.getStringForNumber(mapping, number);
    return mapping == EPT_PHASE ? ptCleanupPhaseName(name, false) : name;
  };
  PTRecordNameCache::Names* names = writingNames(tables);
  if (names == nullptr) return text();
  const std::uint64_t key = static_cast<std::uint64_t>(mapping) << 32 | static_cast<std::uint32_t>(number);
  return remembered(names->texts, key, text);
}

void writeName(const PerformanceTracer& tables, EPTStringMappings mapping, std::int32_t number, haArray* record,
               unsigned long* cursor) {
  ptAddStringToCellArray(record, nameText(tables, mapping, number), cursor);
}

// Kind, phase and grouping: the elements every layout begins with.
void readHead(PerformanceTracer& tables, PTKAVLORDataPoint& point, const haArray* record, unsigned long* cursor) {
  point.type = ptGetIntFromCellArray(record, cursor);
  point.phase = readName(tables, EPT_PHASE, record, cursor);
  point.grouping = readName(tables, EPT_GROUPING, record, cursor);
}

void writeHead(const PerformanceTracer& tables, const PTKAVLORDataPoint& point, haArray* record,
               unsigned long* cursor) {
  ptAddStringToCellArray(record, kRecordVersion, cursor);
  ptAddIntToCellArray(record, point.type, cursor);
  writeName(tables, EPT_PHASE, point.phase, record, cursor);
  writeName(tables, EPT_GROUPING, point.grouping, record, cursor);
}

// Start flag, times and memory: the elements every layout ends with.
void readTail(PTKAVLORDataPoint& point, const haArray* record, unsigned long* cursor) {
  point.isStart = ptGetLogicalFromCellArray(record, cursor);
  point.wallClockTime = ptGetDoubleFromCellArray(record, cursor);
  point.cpuTime = ptGetDoubleFromCellArray(record, cursor);
  point.getDetailedMemStatsFromCellArray(record, cursor);
  point.getBasicMemStatsFromCellArray(record, cursor);
}

void writeTail(const PTKAVLORDataPoint& point, haArray* record, unsigned long* cursor) {
  ptAddLogicalToCellArray(record, point.isStart, cursor);
  ptAddDoubleToCellArray(record, point.wallClockTime, cursor);
  ptAddDoubleToCellArray(record, point.cpuTime, cursor);
  point.writeDetailedMemStatsToCellArray(record, cursor);
  point.writeBasicMemStatsToCellArray(record, cursor);
}

// A record of an unknown version has no defined place for its fields; the
// point keeps its defaults and, like every point, basic statistics.
void readUnknownVersion(PTKAVLORDataPoint& point) { point.basicMemStats = boost::make_shared<pt::BasicMemStats>(); }

// Reads the layout's elements in order; `readSubject` reads what lies between
// the grouping and the start flag.
template <class ReadSubject>
void readRecord(PerformanceTracer& tables, PTKAVLORDataPoint& point, const haArray* record, ReadSubject readSubject) {
  unsigned long cursor[2] = {0, 0};
  const Layout layout = readLayout(record, cursor);
  if (layout == Layout::Unknown) return readUnknownVersion(point);
  readHead(tables, point, record, cursor);
  readSubject(layout, cursor);
  readTail(point, record, cursor);
}

// How many more elements the record holds: a count read from a record never
// makes a reader walk past its end.
std::size_t elementsLeft(const haArray* record, const unsigned long* cursor) {
  const std::size_t total = haGetNumberOfElements(record);
  return cursor[1] < total ? total - cursor[1] : 0;
}

std::size_t identifierCount(const haArray* record, unsigned long* cursor, std::size_t elementsEach) {
  const int count = ptGetIntFromCellArray(record, cursor);
  if (count <= 0) return 0;
  return std::min<std::size_t>(static_cast<std::size_t>(count), elementsLeft(record, cursor) / elementsEach);
}

void addIdentifier(PerformanceTracer& tables, PTTracerDataPoint& point, const std::string& name,
                   const std::string& valueText) {
  point.identifiers[IdentifierName(name)] = tables.getNumberForString(name, valueText, true);
}

// Current layout: "number:value", the number naming the identifier in the
// enumeration `source`, through `nameOf`. An element without a colon is
// ignored; a number that is not one (std::stoi) throws out of the constructor.
template <class NameOf>
void readNumberedIdentifiers(PerformanceTracer& tables, PTTracerDataPoint& point, const haArray* record,
                             unsigned long* cursor, const void* source, NameOf nameOf) {
  PTRecordNameCache::Names* names = activeNames();
  if (names != nullptr && names->identifierSource != source) {
    names->identifiers.clear();
    names->identifierSource = source;
  }
  const std::size_t count = identifierCount(record, cursor, 1);
  point.identifiers.reserve(count);
  for (std::size_t i = count; i > 0; --i) {
    const std::string element = ptGetStringFromCellArray(record, cursor);
    const std::size_t colon = element.find(':');
    if (colon == std::string::npos) continue;
    // std::stoi stops at the colon, which is no part of a number.
    const auto identifier = [&] {
      const std::string name = nameOf(std::stoi(element));
      const std::int32_t value = tables.getNumberForString(name, element.substr(colon + 1), true);
      return std::make_pair(IdentifierName(name), value);
    };
    const auto& [name, value] = names != nullptr ? remembered(names->identifiers, element, identifier) : identifier();
    point.identifiers[name] = value;
  }
}

// Older layout: the name and then the value, two elements per identifier.
void readNamedIdentifiers(PerformanceTracer& tables, PTTracerDataPoint& point, const haArray* record,
                          unsigned long* cursor) {
  for (std::size_t i = identifierCount(record, cursor, 2); i > 0; --i) {
    const std::string name = ptGetStringFromCellArray(record, cursor);
    addIdentifier(tables, point, name, ptGetStringFromCellArray(record, cursor));
  }
}

// `source` is the enumeration `nameOf` reads; the name cache keys on it.
template <class NameOf>
void readTracerRecord(PerformanceTracer& tables, PTTracerDataPoint& point, const haArray* record,
                      const DynamicEnum* source, NameOf nameOf) {
  tables.initializeMapCollectionsForStat();
  readRecord(tables, point, record, [&](Layout layout, unsigned long* cursor) {
    if (layout == Layout::Current)
      readNumberedIdentifiers(tables, point, record, cursor, source, nameOf);
    else
      readNamedIdentifiers(tables, point, record, cursor);
  });
}

// A name the enumeration does not hold yet would be written as -1 and come
// back under the empty name: number it first.
std::int32_t enumeratedNumber(PerformanceTracer& tables, const std::string& name) {
  const std::int32_t number = tables.identifierRawEnum().getInt(name);
  return number >= 0 ? number : tables.addToIdentifierRawEnum(name);
}

std::string identifierElement(PerformanceTracer& tables, const IdentifierName& name, std::int32_t value) {
  const auto element = [&] {
    return std::to_string(enumeratedNumber(tables, name)) + ":" + tables.getStringForNumber(name.str(), value);
  };
  PTRecordNameCache::Names* names = writingNames(tables);
  if (names == nullptr) return element();
  return remembered(names->elements, std::make_pair(name, value), element);
}

}  // namespace

PTRecordNameCache::Names* PTRecordNameCache::active() {
  return activeCache != nullptr ? activeCache->names_.get() : nullptr;
}

// -------------------------------------------------------------- PTKAVLORDataPoint

PTKAVLORDataPoint::PTKAVLORDataPoint(const haArray* record)
    : PTKAVLORDataPoint(record, *PerformanceTracer::getInstance()) {}

PTKAVLORDataPoint::PTKAVLORDataPoint(const haArray* record, PerformanceTracer& tables)
    : PTKAVLORDataPoint(PT_KAVLOR, FromRecord{}) {
  readRecord(tables, *this, record, [&](Layout, unsigned long* cursor) {
    statisticsType = readName(tables, EPT_STATISTICS_TYPE, record, cursor);
  });
}

haArray* PTKAVLORDataPoint::writeToCellArray() const { return writeToCellArray(*PerformanceTracer::getInstance()); }

haArray* PTKAVLORDataPoint::writeToCellArray(PerformanceTracer& tables) const {
  platform::HostArrayPtr record(haCreateCellMatrix(1, kFixedElements + 3));
  unsigned long cursor[2] = {0, 0};
  writeHead(tables, *this, record.get(), cursor);
  writeName(tables, EPT_STATISTICS_TYPE, statisticsType, record.get(), cursor);
  writeTail(*this, record.get(), cursor);
  return record.release();
}

void PTKAVLORDataPoint::writeDetailedMemStatsToCellArray(haArray* cell, unsigned long* cursor) const {
  const pt::DetailedMemStats none;
  const pt::DetailedMemStats& stats = detailedMemStats ? *detailedMemStats : none;
  for (double value : {stats.freeMem, stats.resMem, stats.commitMem, stats.dllsMem, stats.nonprocessMem})
    ptAddDoubleToCellArray(cell, value, cursor);
}

void PTKAVLORDataPoint::writeBasicMemStatsToCellArray(haArray* cell, unsigned long* cursor) const {
  const pt::BasicMemStats none;
  const pt::BasicMemStats& stats = basicMemStats ? *basicMemStats : none;
  for (double value : {stats.procMemUsage, stats.procMemUsagePeak, stats.procVMSize})
    ptAddDoubleToCellArray(cell, value, cursor);
}

void PTKAVLORDataPoint::getDetailedMemStatsFromCellArray(const haArray* cell, unsigned long* cursor) {
  double v[5];
  for (double& value : v) value = ptGetDoubleFromCellArray(cell, cursor);
  // A NaN sum fails the test too: such a record has no usable statistics.
  if (v[0] + v[1] + v[2] + v[3] + v[4] > 0)
    detailedMemStats = boost::allocate_shared<pt::DetailedMemStats>(platform::HugePageAllocator<pt::DetailedMemStats>(),
                                                                    v[0], v[1], v[2], v[3], v[4]);
  else
    detailedMemStats.reset();
}

void PTKAVLORDataPoint::getBasicMemStatsFromCellArray(const haArray* cell, unsigned long* cursor) {
  double v[3];
  for (double& value : v) value = ptGetDoubleFromCellArray(cell, cursor);
  // Read points come by the million, with the records of a file.
  basicMemStats =
      boost::allocate_shared<pt::BasicMemStats>(platform::HugePageAllocator<pt::BasicMemStats>(), v[0], v[1], v[2]);
}

// --------------------------------------------------------------- PTCLTGXDataPoint

PTCLTGXDataPoint::PTCLTGXDataPoint(const haArray* record)
    : PTCLTGXDataPoint(record, *PerformanceTracer::getInstance()) {}

PTCLTGXDataPoint::PTCLTGXDataPoint(const haArray* record, PerformanceTracer& tables)
    : PTCLTGXDataPoint(PT_CLTGX, FromRecord{}) {
  readRecord(tables, *this, record, [&](Layout, unsigned long* cursor) {
    model = readName(tables, EPT_MODEL, record, cursor);
    target = readName(tables, EPT_TARGET, record, cursor);
    statisticsType = readName(tables, EPT_STATISTICS_TYPE, record, cursor);
  });
}

haArray* PTCLTGXDataPoint::writeToCellArray(PerformanceTracer& tables) const {
  platform::HostArrayPtr record(haCreateCellMatrix(1, kFixedElements + 5));
  unsigned long cursor[2] = {0, 0};
  writeHead(tables, *this, record.get(), cursor);
  writeName(tables, EPT_MODEL, model, record.get(), cursor);
  writeName(tables, EPT_TARGET, target, record.get(), cursor);
  writeName(tables, EPT_STATISTICS_TYPE, statisticsType, record.get(), cursor);
  writeTail(*this, record.get(), cursor);
  return record.release();
}

// ----------------------------------------------------------- PTQuorindelDataPoint

PTQuorindelDataPoint::PTQuorindelDataPoint(const haArray* record)
    : PTQuorindelDataPoint(record, *PerformanceTracer::getInstance()) {}

PTQuorindelDataPoint::PTQuorindelDataPoint(const haArray* record, PerformanceTracer& tables)
    : PTCLTGXDataPoint(PT_QD, FromRecord{}) {
  readRecord(tables, *this, record, [&](Layout, unsigned long* cursor) {
    model = readName(tables, EPT_MODEL, record, cursor);
    target = readName(tables, EPT_TARGET, record, cursor);
    machine = readName(tables, EPT_MACHINE, record, cursor);
    chart = readName(tables, EPT_CHART, record, cursor);
    statisticsType = readName(tables, EPT_STATISTICS_TYPE, record, cursor);
  });
}

haArray* PTQuorindelDataPoint::writeToCellArray(PerformanceTracer& tables) const {
  platform::HostArrayPtr record(haCreateCellMatrix(1, kFixedElements + 7));
  unsigned long cursor[2] = {0, 0};
  writeHead(tables, *this, record.get(), cursor);
  writeName(tables, EPT_MODEL, model, record.get(), cursor);
  writeName(tables, EPT_TARGET, target, record.get(), cursor);
  writeName(tables, EPT_MACHINE, machine, record.get(), cursor);
  writeName(tables, EPT_CHART, chart, record.get(), cursor);
  writeName(tables, EPT_STATISTICS_TYPE, statisticsType, record.get(), cursor);
  writeTail(*this, record.get(), cursor);
  return record.release();
}

// -------------------------------------------------------------- PTTracerDataPoint

PTTracerDataPoint::PTTracerDataPoint(const haArray* record)
    : PTTracerDataPoint(record, *PerformanceTracer::getInstance()) {}

PTTracerDataPoint::PTTracerDataPoint(const haArray* record, DynamicEnum& identifierEnum)
    : PTTracerDataPoint(record, identifierEnum, *PerformanceTracer::getInstance()) {}

PTTracerDataPoint::PTTracerDataPoint(const haArray* record, PerformanceTracer& tables)
    : PTKAVLORDataPoint(PT_TRACER, FromRecord{}), identifiers(makeIdentifierMap()) {
  const DynamicEnum& identifierEnum = tables.identifierRawEnum();
  readTracerRecord(tables, *this, record, &identifierEnum,
                   [&](int number) { return identifierEnum.getString(number); });
}

PTTracerDataPoint::PTTracerDataPoint(const haArray* record, DynamicEnum& identifierEnum, PerformanceTracer& tables)
    : PTKAVLORDataPoint(PT_TRACER, FromRecord{}), identifiers(makeIdentifierMap()) {
  readTracerRecord(tables, *this, record, &identifierEnum,
                   [&](int number) { return identifierEnum.getString(number); });
}

// The last element stays empty: a record of N identifiers is N + 17 long.
haArray* PTTracerDataPoint::writeToCellArray(PerformanceTracer& tables) const {
  platform::HostArrayPtr record(haCreateCellMatrix(1, identifiers.size() + kFixedElements + 4));
  unsigned long cursor[2] = {0, 0};
  writeHead(tables, *this, record.get(), cursor);
  ptAddIntToCellArray(record.get(), static_cast<int>(identifiers.size()), cursor);
  for (const auto& [name, value] : identifiers)
    ptAddStringToCellArray(record.get(), identifierElement(tables, name, value), cursor);
  writeTail(*this, record.get(), cursor);
  return record.release();
}
