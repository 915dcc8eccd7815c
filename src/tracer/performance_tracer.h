// Performance tracer: the one object that holds all trace state of the process
// — raw points, the name ↔ number tables, identifier tables and enumeration,
// groupings, switches — and the members that record and read it.
//
//   PerformanceTracer& tracer = *PerformanceTracer::getInstance();
//   int32_t phase = tracer.getNumberForString(EPT_PHASE, "Load", true);
//
// A tracer made with the constructor alone has no tables (the host may create
// such objects); every member treats a missing table as an empty one.
// `initialize()` creates them. The tracer takes no locks: its members must not
// run concurrently.
#pragma once

#include "sysinfo/system_info.h"
#include "tracer/data_points.h"
#include "tracer/dynamic_enum.h"
#include "tracer/grouping_enabled.h"
#include "tracer/identifier_map.h"
#include "tracer/mem_stats.h"
#include "tracer/mem_stats_module.h"
#include "tracer/recorder.h"
#include "tracer/string_mappings.h"
#include "tracer/string_number_mapping.h"

#include <boost/shared_ptr.hpp>
#include <boost/unordered_map.hpp>
#include <boost/unordered_set.hpp>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class Clock;
class MemoryProbe;
}  // namespace platform

/// A system-clock time point in nanoseconds, as instrumentation events carry.
using PTSystemTimePoint = std::chrono::time_point<std::chrono::system_clock, std::chrono::nanoseconds>;

class PerformanceTracer {
 public:
  using StatisticsTypeMap = boost::unordered_map<std::string, std::string>;
  /// Grouping number → names of its sub-groups (empty for a plain grouping).
  using KnownGroupingMap = boost::unordered_map<std::int32_t, std::vector<std::string>>;
  using MapCollections = boost::unordered_map<std::string, std::unique_ptr<StringNumberMapping>>;
  using TestPathMap = boost::unordered_map<std::string, std::string>;

  // ---------------------------------------------------------------- Lifetime

  /// The process-wide tracer, created and initialised on first use and never
  /// destroyed.
  static PerformanceTracer* getInstance();

  /// All switches at their defaults, no tables.
  PerformanceTracer();
  ~PerformanceTracer();
  PerformanceTracer(const PerformanceTracer&) = delete;
  PerformanceTracer& operator=(const PerformanceTracer&) = delete;

  /// Creates the raw data vector, system information, statistics-type and
  /// grouping maps, the seven tables, the memory module and 20 unknown
  /// grouping states.
  void initialize();

  // ---------------------------------------------------------- Platform seams

  /// Where times come from; null restores the system clock. Not owned.
  void setClock(platform::Clock* clock);
  /// Where memory figures come from; null restores the machine's probe. Not owned.
  void setMemoryProbe(platform::MemoryProbe* probe);

  // --------------------------------------------------------- String mappings

  /// The table, or null for an unknown mapping or an uninitialised tracer.
  StringNumberMapping* getMappingByType(EPTStringMappings mapping) const;
  /// The text's number, -1 when the table is missing or (unless `addIfMissing`)
  /// the text is new.
  std::int32_t getNumberForString(EPTStringMappings mapping, const std::string& text, bool addIfMissing);
  /// The number's text, or empty.
  std::string getStringForNumber(EPTStringMappings mapping, std::int32_t number) const;
  /// Column title of the mapping ("Phase", "Model", ...); empty for the
  /// statistics type and unknown mappings.
  static std::string getNameForMappingID(EPTStringMappings mapping);
  /// Empties every table except the grouping table, whose numbers index the
  /// grouping states.
  void clearStringMappings();

  // Literal 0 would otherwise silently pick the identifier-name overloads.
  std::int32_t getNumberForString(int, const std::string&, bool) = delete;
  std::string getStringForNumber(int, std::int32_t) const = delete;

  // --------------------------------------------------------- Map collections
  // One value table per identifier name ("modelStr", ...).

  /// Adds the "statisticsTypeStr" table if it is missing.
  void initializeMapCollectionsForStat();
  /// Adds an empty table for each name not present yet.
  void insertIdentifierToMapCollections(const std::vector<std::string>& names);
  void insertIdentifierToMapCollections(const std::string& name);
  /// The value's number in the identifier's table, or -1; never adds.
  std::int32_t getNumberForString(const std::string& identifier, const std::string& value) const;
  /// As above; with `addIfMissing` an unknown identifier and value are added.
  std::int32_t getNumberForString(const std::string& identifier, const std::string& value, bool addIfMissing);
  /// The value text, or empty.
  std::string getStringForNumber(const std::string& identifier, std::int32_t number) const;
  /// names[i] → number of values[i] (added when new), plus "statisticsTypeStr"
  /// → number of "Update". A name without a value is left out.
  PTIdentifierMap getMapForStrings(const std::vector<std::string>& names, const std::vector<std::string>& values);
  /// Empties every identifier's table except that of "statisticsTypeStr"; the
  /// identifier names stay.
  void clearMapCollections();
  std::size_t getIdentifierAmount() const { return mapCollections_.size(); }
  const MapCollections& getMapCollections() const { return mapCollections_; }

  // -------------------------------------------------- Identifier enumeration

  /// The enumeration, after numbering the identifier names of the map
  /// collections it does not hold yet (in text order).
  DynamicEnum& getIdentifierRawEnum();
  void setIdentifierRawEnum(const DynamicEnum& identifierEnum);
  std::int32_t addToIdentifierRawEnum(const std::string& name) { return identifierRawEnum_.add(name); }
  void clearIdentifierRawEnum() { identifierRawEnum_.clear(); }
  /// The enumeration as it is, without numbering new identifier names.
  const DynamicEnum& identifierRawEnum() const { return identifierRawEnum_; }

  // ------------------------------------------------------ Timing and memory

  /// Samples memory (detailed first, when enabled; then basic), then wall-clock
  /// and CPU time, into the point.
  void getPerformanceStats(PTKAVLORDataPoint& point) const;
  /// A basic snapshot from the probe; all zero while the basic probe is off or failing.
  pt::BasicMemStats getBasicMemStats() const;
  /// A detailed snapshot from the memory module, in bytes.
  pt::DetailedMemStats getDetailedMemStats() const;
  /// Seconds from the recorder epoch to `time`: the time base of points made
  /// from instrumentation events.
  static double getPerfTime(PTSystemTimePoint time);
  /// 1 March 2004, 00:00:00 local time (no daylight saving), computed once.
  static PTSystemTimePoint getRecorderEpoch();

  bool isDetailedMemStatsEnabled() const { return detailedMemStatsEnabled_; }
  void setDetailedMemStatsEnabled(bool enabled) { detailedMemStatsEnabled_ = enabled; }
  /// The basic probe costs a read of /proc per point; off gives all-zero basic
  /// snapshots. Starts from PT_BASIC_MEMORY_PROBE ("0", "off", "false": off).
  bool isBasicMemStatsEnabled() const { return basicMemStatsEnabled_; }
  void setBasicMemStatsEnabled(bool enabled) { basicMemStatsEnabled_ = enabled; }

  // -------------------------------------------------------------- Raw data

  /// Numbers the grouping and phase (adding new names), sets the start flag
  /// and, unless the recorder is in use, samples times and memory.
  void assignCommonData(PTKAVLORDataPoint& point, const std::string& grouping, const std::string& phase,
                        bool isStart);
  /// As above with the grouping number stored as given.
  void assignCommonData(PTKAVLORDataPoint& point, std::int32_t grouping, const std::string& phase, bool isStart);
  /// Appends to the raw data vector; false when the tracer has none.
  bool appendRawDataPoint(boost::shared_ptr<PTKAVLORDataPoint> point);
  /// The recorded points, or null for an uninitialised tracer.
  const PTRawDataVector* rawDataVector() const { return rawDataVector_.get(); }

  // ------------------------------------------------------------ Other state

  /// Copies the record, creating the tracer's own on first use; null is ignored.
  void setSystemInfo(const PTSystemInfoStruct* info);
  /// The stored record, or null when none was set or created.
  const PTSystemInfoStruct* getStoredSystemInfo() const { return systemInfo_.get(); }
  void setStatisticsTypeForModel(const std::string& model, const std::string& type);
  bool getPerfTracerEnabledFlag() const { return perfTracerEnabledFlag_; }
  void setPerfTracerEnabledFlag(bool enabled) { perfTracerEnabledFlag_ = enabled; }

  // -------------------------------------------------------------- Groupings

  /// The grouping registry, created empty first if missing.
  KnownGroupingMap& getKnownGroupingStatus();

  // ------------------------------------------------------------- Test paths
  // Texts naming a test ("UserString", "TestPath", "TestResult") split into
  // "TestFile", "TestSuite", "TestCase", "IterationName" and "TestResult".

  /// Maps a user text to a full test path; replaces an earlier path.
  void addTestPathToMap(const std::string& key, const std::string& path) { mapTestPath_[key] = path; }
  TestPathMap& getMapTestPath() { return mapTestPath_; }
  void clearMapTestPath() { mapTestPath_.clear(); }
  /// Adds the split identifiers of the point's "UserString" (through the
  /// test-path map), then of its "TestPath" or else its "TestResult". Throws
  /// std::runtime_error for a malformed text. A null point is ignored.
  void processTestPathForRawData(PTTracerDataPoint* point);
  /// Splits "file > suite > case # iteration" into four identifiers. Throws
  /// std::runtime_error when the file, or the suite and case, are missing.
  void addTestPathToIdentifierMap(PTIdentifierMap& identifiers, const std::string& path);
  /// Splits "file > suite", or "...Results: name/file[/suite]" (adding
  /// "TestResult"), into "TestFile" and "TestSuite"; other texts give both
  /// empty. Throws std::runtime_error for a result text without "/".
  void addTestPathToIdentifierMap_TestSuitePath(PTIdentifierMap& identifiers, const std::string& text);

  // --------------------------------------------------------------- Recorder
  // With the feature on, logging emits instrumentation events; the recorder
  // keeps them and reading raw data converts them into points.

  bool isUsePerformanceTracerRecorder() const { return usePerformanceTracerRecorder_; }
  /// Stored until the next refresh from the feature overwrites it.
  void setUsePerformanceTracerRecorder(const bool& use) { usePerformanceTracerRecorder_ = use; }
  /// Refreshes the recorder switch from the feature "UsePerformanceTracerRecorder"
  /// and returns it.
  bool isPerformanceTracerRecorderUsed();
  /// The listener to attach to instrument::listeners.
  pt::PerformanceTracerRecorder& recorder() { return recorder_; }
  const pt::PerformanceTracerRecorder& recorder() const { return recorder_; }
  /// Remembers an open start event of `input`; the latest is stopped first.
  void addEventId(const UserInput& input, instrument::EventId id);
  /// Takes the latest open start event of `input`, or the no-event identifier
  /// with status instrument::kNoOpenEvent.
  instrument::EventId getEventId(const UserInput& input);
  /// Stops the latest open start event of `input` on the grouping's control;
  /// without one, emits an instant event with the input's context instead.
  void perfTracerRecorderStopEvent(const UserInput& input);
  /// Identifier name → value number (added when new) of every context entry
  /// with a value, plus "statisticsTypeStr" → number of "Update"; the "phase"
  /// entry goes to `phase` instead.
  PTIdentifierMap getMapForContext(const instrument::ContextSet& context, std::string& phase);
  /// Appends the recorded events not converted yet as raw points. An open
  /// start is converted again on every pass until its stop is converted;
  /// completed events and instants are converted once.
  void processRecorderDataToRawData();
  /// Forgets every recorded event, open start and converted identifier.
  void clearPerfTracerRecorderEventData();

 private:
  StringNumberMapping* identifierTable(const std::string& identifier) const;
  StringNumberMapping& identifierTableOrAdd(const std::string& identifier);

  bool detailedMemStatsEnabled_ = false;
  std::unique_ptr<PTRawDataVector> rawDataVector_;
  std::unique_ptr<PTSystemInfoStruct> systemInfo_;
  std::unique_ptr<pt::MemStatsModule> memStatsModule_;
  std::unique_ptr<StatisticsTypeMap> statisticsTypeForModel_;  ///< model name → statistics-type text
  std::unique_ptr<KnownGroupingMap> knownGroupingStatus_;
  /// Indexed by EPTStringMappings.
  std::array<std::unique_ptr<StringNumberMapping>, kStringMappingCount> mappings_;
  bool globalLoggingEnabled_ = false;
  std::unique_ptr<std::vector<EPTGroupingEnabled>> groupingEnabledStates_;
  MapCollections mapCollections_;
  TestPathMap mapTestPath_;  ///< user text → full test path
  DynamicEnum identifierRawEnum_;
  bool perfTracerEnabledFlag_ = false;

  pt::PerformanceTracerRecorder recorder_{*this};
  bool usePerformanceTracerRecorder_ = true;
  /// Open start events per logging input, the latest at the back.
  boost::unordered_map<UserInput, std::deque<instrument::EventId>> recorderEventIds_;
  /// Stops and instants already turned into raw points.
  boost::unordered_set<instrument::EventId> convertedEventIds_;

  // Seams and switches of this implementation.
  bool basicMemStatsEnabled_;
  platform::Clock* clock_;
  platform::MemoryProbe* memoryProbe_;
};
