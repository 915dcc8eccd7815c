// Performance tracer: the one object that holds all trace state of the process
// — raw points, the name ↔ number tables, identifier tables and enumeration,
// groupings, switches — and the members that record and read it.
//
//   PerformanceTracer& tracer = *PerformanceTracer::getInstance();
//   int32_t phase = tracer.getNumberForString(EPT_PHASE, "Load", true);
//
// A tracer made with the constructor alone has no tables (the host may create
// such objects); every member treats a missing table as an empty one.
// `initialize()` creates them. The tracer's members must not run concurrently,
// with one exception: its recorder listener may take memory snapshots on any
// thread that emits an instrumentation event, so the memory switches, the
// probe and the memory module are safe to use while that happens.
#pragma once

#include "tracer/data_points.h"
#include "tracer/dynamic_enum.h"
#include "tracer/grouping_enabled.h"
#include "tracer/identifier_map.h"
#include "tracer/mem_stats.h"
#include "tracer/mem_stats_module.h"
#include "tracer/recorder.h"
#include "tracer/string_mappings.h"
#include "tracer/string_number_mapping.h"

#include <boost/container/small_vector.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/unordered_map.hpp>
#include <boost/unordered_set.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace platform {
class Clock;
class FileCalls;
class MemoryProbe;
}  // namespace platform

namespace instrument {
class ControlElement;
}  // namespace instrument

class PTKAVLORProcessedDataPoint;
struct PTProcessedDataStruct;
struct PTSystemInfoStruct;

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
  /// The system calls report files are written with; null restores the
  /// machine's. Not owned.
  void setFileCalls(platform::FileCalls* calls);
  platform::FileCalls& fileCalls() const { return *fileCalls_; }

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

  bool isDetailedMemStatsEnabled() const { return detailedMemStatsEnabled_.load(std::memory_order_relaxed); }
  void setDetailedMemStatsEnabled(bool enabled) { detailedMemStatsEnabled_.store(enabled, std::memory_order_relaxed); }
  /// The basic probe costs a read of /proc per point; off gives all-zero basic
  /// snapshots. Starts from PT_BASIC_MEMORY_PROBE ("0", "off", "false": off).
  bool isBasicMemStatsEnabled() const { return basicMemStatsEnabled_.load(std::memory_order_relaxed); }
  void setBasicMemStatsEnabled(bool enabled) { basicMemStatsEnabled_.store(enabled, std::memory_order_relaxed); }

  // -------------------------------------------------------------- Raw data

  /// Numbers the grouping and phase (adding new names), sets the start flag
  /// and, unless the recorder is in use, samples times and memory.
  void assignCommonData(PTKAVLORDataPoint& point, const std::string& grouping, const std::string& phase, bool isStart);
  /// As above with the grouping number stored as given.
  void assignCommonData(PTKAVLORDataPoint& point, std::int32_t grouping, const std::string& phase, bool isStart);
  /// Appends to the raw data vector; false when the tracer has none.
  bool appendRawDataPoint(boost::shared_ptr<PTKAVLORDataPoint> point);
  /// The recorded points, or null for an uninitialised tracer.
  const PTRawDataVector* rawDataVector() const { return rawDataVector_.get(); }

  // ------------------------------------------------------------ Other state

  /// Copies the record, creating the tracer's own on first use; null is ignored.
  /// From then on the record describes the recording (a loaded trace's).
  void setSystemInfo(const PTSystemInfoStruct* info);
  /// The stored record, or null when none was set or created.
  const PTSystemInfoStruct* getStoredSystemInfo() const { return systemInfo_.get(); }
  /// True once a record was stored with setSystemInfo: the raw data was then
  /// recorded elsewhere, and this machine's description does not apply.
  bool hasRecordingSystemInfo() const { return recordingSystemInfoSet_; }
  void setStatisticsTypeForModel(const std::string& model, const std::string& type);
  bool getPerfTracerEnabledFlag() const { return perfTracerEnabledFlag_; }
  void setPerfTracerEnabledFlag(bool enabled) { perfTracerEnabledFlag_ = enabled; }

  // ----------------------------------------------------- System information
  // The machine and host description of reports and trace data files, asked
  // of the host once per process (defined in src/sysinfo/). A host call that
  // fails leaves its field empty; an answer of the wrong kind raises the host
  // error "UnexpectedValue", and the next call asks again.

  /// The record of the running machine, gathered on the first call.
  PTSystemInfoStruct gatherSystemInfoFromKAVLOR() const;
  PTSystemInfoStruct getSystemInfo() const;
  /// A process-wide copy of the gathered record, made on the first call.
  const PTSystemInfoStruct* getSystemInfo();
  /// The text answer of the host's system_dependent(query).
  std::string getSystemDependentInfoFromKAVLOR(const char* query) const;
  /// The maximum processor frequency: "3.2 GHz", "800 MHz"; "0 MHz" when unknown.
  std::string getCPUSpeed() const;
  std::string getNumCoresFromKAVLOR() const;
  /// Always "N/A".
  std::string getTotalMemoryInMB() const;
  /// The text answer of the host's version, with `option` unless it is null.
  std::string getVersionInfoFromKAVLOR(const char* option) const;
  /// The listing of installed products the host's evalc('ver') captures.
  std::string getInstalledProductsFromKAVLOR() const;

  // -------------------------------------------------------------- Groupings
  // A grouping is registered when the registry has an entry for its number:
  // plain with an empty sub-group list, composite with a non-empty one. Only a
  // state of EPT_GROUPING_ENABLED lets logging record it (or global logging).
  // No grouping is ever, at any depth, its own sub-group, so the recursive
  // operations end. While the recorder is in use, states are mirrored into the
  // instrumentation controls and the recorder listens while anything is
  // recorded (global logging, or some grouping enabled).

  /// The grouping registry, created empty first if missing.
  KnownGroupingMap& getKnownGroupingStatus();
  /// Registers a plain grouping with state unknown and returns its number; a
  /// grouping registered already keeps its state. -1 for a composite grouping.
  std::int32_t addGrouping(const std::string& name);
  /// Registers `name` as composite and its sub-groups as plain, each taking
  /// the group's state when that is known. Empty on success, otherwise:
  /// "Group: <name>" when `name` is composite already (nothing changes);
  /// "Cycle: <sub> already contains <name>" when a sub-group is `name` or
  /// holds it at any depth (nothing is stored);
  /// "Sub group: <sub>" when a sub-group is composite: the list stays stored,
  /// the sub-groups after it are not registered.
  std::string addGrouping(const std::string& name, const std::vector<std::string>& subGroups);
  /// Stores the state of grouping `number`, growing the state vector (new
  /// entries unknown); a negative number is ignored.
  void enableGroupingIndex(std::int32_t number, EPTGroupingEnabled state);
  /// Enables or disables the grouping and its whole tree, registering an
  /// unknown name as plain.
  void enableGrouping(const std::string& name, bool enable);
  /// Unregisters the grouping and, recursively, its sub-groups; their states
  /// become unknown, their names keep their numbers. False when not registered.
  bool removeGrouping(const std::string& name);
  bool removeGrouping(std::int32_t number);
  /// Replaces the sub-group list of a registered grouping, unregistering the
  /// old sub-groups first. False, with nothing changed, when the new list
  /// would make the grouping its own sub-group; true otherwise.
  bool updateGrouping(const std::string& name, const std::vector<std::string>& subGroups);
  bool isGroupingEnabled(const std::string& name) const;
  bool isGroupingEnabled(std::int32_t number) const;
  bool isAnyGroupEnabled() const;
  /// The grouping's tree in post-order: each sub-group's list, then the
  /// name itself; a sub-group shared by several branches is listed once,
  /// where it is first met. Empty when the name is not registered.
  std::vector<std::string> getGroupingList(const std::string& name) const;
  /// Builds the built-in composite trees the name belongs to, enables or
  /// disables the name's tree and updates the enabled flag.
  void enableTracer(const std::string& name, bool enable);
  void enableGlobalLogging(bool on);
  bool isGlobalLoggingEnabled() const { return globalLoggingEnabled_; }
  /// State per grouping number; empty for an uninitialised tracer.
  const std::vector<EPTGroupingEnabled>& getGroupingEnabledStates() const;

  // ---------------------------------------------------------------- Logging
  // Every exported logging function ends in `logEvent`. It drops the event
  // unless global logging is on or the grouping is enabled; then it either
  // appends a tracer point at once (the direct road) or, while the feature
  // "UsePerformanceTracerRecorder" is on, emits an instrumentation event that
  // becomes a point when raw data are read (the recorder road). Logging never
  // throws: a point that cannot be built is dropped and false returned.
  //
  // Logging does not read the feature itself: it takes the road the tracer
  // cached when it was last told to refresh, that is at the last call of
  // isPerformanceTracerRecorderUsed(), enableGlobalLogging, enableGrouping,
  // enableGroupingIndex or enableTracer (the calls that let anything be
  // recorded). Whoever turns the feature on or off calls one of them for
  // logging to follow.

  /// An identifier whose name is known in advance, interned once.
  struct LoggedIdentifier {
    const IdentifierName& name;
    const std::string& value;
  };

  /// Global logging is on or the grouping is enabled. Never adds the name.
  bool isLoggingAdmitted(const std::string& grouping) const {
    return globalLoggingEnabled_ || isGroupingEnabled(grouping);
  }
  bool isLoggingAdmitted(std::int32_t grouping) const { return globalLoggingEnabled_ || isGroupingEnabled(grouping); }
  /// The funnel. `pairs` holds name, value, name, value, ...: a pair with an
  /// empty value is left out of the point, and the last name of an odd list
  /// is dropped. True only when a point was appended (never on the recorder road).
  bool logEvent(const std::string& grouping, const std::string& phase, bool isStart,
                const std::vector<std::string>& pairs);
  /// The funnel for identifiers named in advance; the direct road copies no text.
  bool logEvent(const std::string& grouping, const std::string& phase, bool isStart,
                std::span<const LoggedIdentifier> identifiers);

  /// Appends a tracer point: names[i] → number of values[i] (a name without a
  /// value is left out), plus "statisticsTypeStr" → number of "Update". Times
  /// and memory are sampled unless the recorder is in use. The string forms
  /// here number the grouping without adding it (-1 when unknown).
  bool logTracerData(const std::string& grouping, const std::string& phase, bool isStart,
                     const std::vector<std::string>& names, const std::vector<std::string>& values);
  bool logTracerData(std::int32_t grouping, const std::string& phase, bool isStart,
                     const std::vector<std::string>& names, const std::vector<std::string>& values);
  /// Appends a base point.
  bool logKAVLORData(const std::string& grouping, const std::string& phase, bool isStart);
  bool logKAVLORData(std::int32_t grouping, const std::string& phase, bool isStart);
  /// Appends a block-diagram point; its statistics type is the text set for
  /// the model (setStatisticsTypeForModel), else the empty text, which is then
  /// stored for the model.
  bool logCalvoranData(const std::string& grouping, const std::string& model, const std::string& target,
                       const std::string& phase, bool isStart);
  bool logCalvoranData(std::int32_t grouping, const std::string& model, const std::string& target,
                       const std::string& phase, bool isStart);
  /// Appends a state-chart point, with the statistics type as above.
  bool logQuorindelData(const std::string& grouping, const std::string& model, const std::string& target,
                        const std::string& machine, const std::string& chart, const std::string& phase, bool isStart);
  bool logQuorindelData(std::int32_t grouping, const std::string& model, const std::string& target,
                        const std::string& machine, const std::string& chart, const std::string& phase, bool isStart);

  // --------------------------------------------------------------- Clearing
  // Numbers in points mean something only with the tables that handed them
  // out, so the full clear empties both. Groupings (names, numbers, registry,
  // states), the switches, the identifier names and the system information
  // survive every clear.

  /// Drops every point, the statistics types per model, the identifier
  /// enumeration and every string table except the grouping table.
  void clearRawDataVector();
  /// Drops the points of the grouping and the recorder's events of that name.
  /// An unknown name drops the points logged without a known grouping (-1).
  void clearRawGroupingData(const std::string& grouping);
  /// Drops the tracer points whose "modelStr" is the model; a model never
  /// logged drops nothing.
  void clearRawModelData(const std::string& model);
  /// Drops the points of the grouping and model: block-diagram and
  /// state-chart points by their model, tracer points by their "modelStr".
  void clearRawDataVector(const std::string& grouping, const std::string& model);
  /// As above, of the target ("targetStr") too.
  void clearRawDataVector(const std::string& grouping, const std::string& model, const std::string& target);
  /// The raw data becomes a vector of the same shared points (not copies).
  void setRawDataVector(const PTRawDataVector& points);
  /// After converting recorded events: the grouping's points, shared with the
  /// tracer (an unknown grouping is added to the table and has none). Null for
  /// an uninitialised tracer.
  std::unique_ptr<PTRawDataVector> getRawDataVector(const std::string& grouping);
  /// After converting recorded events: a deep copy of every point, each of
  /// its own class and kind. Null for an uninitialised tracer.
  std::unique_ptr<PTRawDataVector> getRawDataVector();

  // ---------------------------------------------------------------- Analysis
  // Pairing raw points into report rows, classifying the trace and folding the
  // rows into per-phase aggregates; defined in src/analysis/. With a null raw
  // vector they work on a deep copy of the tracer's points, so the recorded
  // data never change; a caller's vector receives the gap points. Problems in
  // the trace become error rows and `hasErrors`, never exceptions.

  /// The richest point kind of the grouping's points, the scan stopping at the
  /// first of kind 2 or 3; kind 0 without data.
  PTDataPointType getDiagnosticReportType(const PTRawDataVector* rawData, const std::string& grouping) const;
  /// True when some element equals `text` exactly.
  static bool matchVectorString(const std::vector<std::string>& list, const std::string& text);
  /// Rows, totals, base times and report kind of the groupings or models; no
  /// rows when the trace has errors.
  PTProcessedDataStruct generateProcessedData(PTRawDataVector* rawData, const std::vector<std::string>& names,
                                              bool forModels);
  PTProcessedDataStruct generateProcessedData(PTRawDataVector* rawData, const std::string& name, bool forModels);
  /// As generateProcessedData; a null vector means a deep copy of the tracer's
  /// points (a zeroed summary for a tracer without data).
  PTProcessedDataStruct getProcessedData(PTRawDataVector* rawData, const std::vector<std::string>& names,
                                         bool forModels);
  /// Replaces a row of kind 0, 1 or 2 by its tracer-class conversion, whose
  /// identifiers are numbered in this tracer's tables.
  void convertProcessedDataPoint(std::unique_ptr<PTKAVLORProcessedDataPoint>& point);

  // ----------------------------------------------------------------- Reports
  // The report entries the host methods and the command-line tool call:
  // forwards to the report layer (src/report/phase/), which writes the pages
  // from the free functions beside it. Trace texts are escaped wherever they
  // are written.

  /// The phase report of one grouping ("GLOBAL": all) in the format ("time",
  /// "basicmemory", "detailedmemory"). Analysing may add names to the tables.
  /// A null `systemInfo` shows the recording's record: a loaded trace's (none
  /// when it stored none), else this machine's, asked of the host once. The
  /// file is replaced only once the whole page is written; false, with the
  /// file as it was, when it cannot be opened or written. The bool is not
  /// consulted.
  bool generateHTMLReport(const std::string& fileName, const std::string& grouping, const std::string& reportTitle,
                          const std::string& statisticsType, bool, PTRawDataVector* rawData,
                          const PTSystemInfoStruct* systemInfo);
  /// The report reduced to its Aggregate and System Info tabs.
  bool generateAggregateReport(const std::string& fileName, const std::string& grouping, const std::string& reportTitle,
                               const std::string& statisticsType, bool, PTRawDataVector* rawData,
                               const PTSystemInfoStruct* systemInfo);
  /// The diagnostic report of one grouping ("GLOBAL": all): one row per raw
  /// point in logging order, error rows on red, gap points left out. The
  /// points (the caller's, or the recorded ones for null) are left as they
  /// are. False only when the file cannot be created.
  bool diagnosticReport(const std::string& fileName, const std::string& grouping, PTRawDataVector* rawData);
  /// The phase comparison report of two recordings, both analysed with this
  /// tracer's tables, so their numbers must come from them. The labels name
  /// the sides on the page. Replaced and failing as generateHTMLReport; a
  /// recording that does not pair leaves an empty file.
  bool generateHTMLComparisonReport(const std::string& htmlFile, const std::string& grouping,
                                    const std::string& lhsLabel, const std::string& rhsLabel, PTRawDataVector* lhsRaw,
                                    PTRawDataVector* rhsRaw, const PTSystemInfoStruct* lhsSystemInfo,
                                    const PTSystemInfoStruct* rhsSystemInfo, const std::string& format);
  /// As above, at the level of the per-phase aggregates only.
  bool generateHTMLAggregateComparisonReport(const std::string& htmlFile, const std::string& grouping,
                                             const std::string& lhsLabel, const std::string& rhsLabel,
                                             PTRawDataVector* lhsRaw, PTRawDataVector* rhsRaw,
                                             const PTSystemInfoStruct* lhsSystemInfo,
                                             const PTSystemInfoStruct* rhsSystemInfo, const std::string& format);

  // --------------------------------------------------------- Text utilities

  /// The text less a final "Str" ("modelStr" gives "model").
  static std::string removeStrSuffix(const std::string& text);

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

  /// The cached switch logging follows; no refresh.
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
  void addEventId(UserInput input, instrument::EventId id);
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

  // Groupings and logging.
  const std::vector<std::string>* findSubGroups(std::int32_t number) const;
  bool containsAtAnyDepth(const std::string& group, const std::string& name) const;
  void enableGroupingTree(const std::string& name, EPTGroupingEnabled state, std::unordered_set<std::int32_t>& visited);
  void noteEnabledStateChange(std::int32_t number, EPTGroupingEnabled previous, EPTGroupingEnabled state);
  void refreshEnabledGroupings() const;
  /// What the two below answer when the grouping is not enabled, or its event
  /// not to be recorded. A plain number rather than an optional: the funnel
  /// turns most calls away, and an optional returned through the stack cost
  /// it a stalled load each time.
  static constexpr std::int32_t kNotAdmitted = std::numeric_limits<std::int32_t>::min();
  /// The number of the enabled grouping of that name, else kNotAdmitted.
  std::int32_t findEnabledGrouping(std::string_view name) const;
  /// The grouping's number when an event of it is to be recorded (-1 when
  /// there is no grouping table), else kNotAdmitted.
  std::int32_t admittedGroupingNumber(const std::string& grouping) const;
  void refreshRecorderListener();
  bool logAdmittedEvent(const std::string& grouping, std::int32_t groupingNumber, const std::string& phase,
                        bool isStart, std::span<const LoggedIdentifier> identifiers);
  void logThroughRecorder(const std::string& grouping, const std::string& phase, bool isStart,
                          std::span<const LoggedIdentifier> identifiers);
  /// Open start events per logging input, the latest at the back. Starts are
  /// rarely nested under one input, so two are held inline: no heap block per start.
  using OpenRecorderEvents = boost::unordered_map<UserInput, boost::container::small_vector<instrument::EventId, 2>>;
  /// Takes the latest open start of the input at `found` (or the no-event
  /// identifier with status instrument::kNoOpenEvent for none), and forgets
  /// the input once it has none left.
  instrument::EventId takeLatestEventId(OpenRecorderEvents::iterator found);
  /// The instrumentation control of a grouping, through a one-entry cache.
  instrument::ControlElement& recorderControl(const std::string& grouping);
  template <class Point, class FillFields>
  bool appendPoint(std::int32_t grouping, const std::string& phase, bool isStart, FillFields fill);
  std::int32_t statisticsTypeNumberForModel(const std::string& model);
  /// The interned name for an identifier text, through the logging cache.
  const IdentifierName& loggedIdentifierName(std::string_view text);
  /// The identifier's value table (created when new), through the logging cache.
  StringNumberMapping& loggedIdentifierTable(const IdentifierName& name);
  /// Fills a fresh point's map with the logged identifiers that have values,
  /// then "statisticsTypeStr" → "Update", as inserting them in that order does.
  void fillLoggedIdentifiers(PTIdentifierMap& map, std::span<const LoggedIdentifier> identifiers);

  std::atomic<bool> detailedMemStatsEnabled_{false};
  std::unique_ptr<PTRawDataVector> rawDataVector_;
  std::unique_ptr<PTSystemInfoStruct> systemInfo_;
  /// One set of counters for every thread that takes a detailed snapshot.
  std::unique_ptr<pt::MemStatsModule> memStatsModule_;
  mutable std::mutex memStatsModuleMutex_;
  std::unique_ptr<StatisticsTypeMap> statisticsTypeForModel_;  ///< model name → statistics-type text
  std::unique_ptr<KnownGroupingMap> knownGroupingStatus_;
  /// Indexed by EPTStringMappings.
  std::array<std::unique_ptr<StringNumberMapping>, kStringMappingCount> mappings_;
  bool globalLoggingEnabled_ = false;
  std::unique_ptr<std::vector<EPTGroupingEnabled>> groupingEnabledStates_;
  MapCollections mapCollections_;  ///< tables are never removed: the logging cache points at them
  TestPathMap mapTestPath_;        ///< user text → full test path
  DynamicEnum identifierRawEnum_;
  bool perfTracerEnabledFlag_ = false;

  pt::PerformanceTracerRecorder recorder_{*this};
  bool usePerformanceTracerRecorder_ = true;
  OpenRecorderEvents recorderEventIds_;
  instrument::ControlElement* lastRecorderControl_ = nullptr;
  /// Stops and instants already turned into raw points.
  boost::unordered_set<instrument::EventId> convertedEventIds_;

  /// The enabled groupings, name and number. Most names logging is asked
  /// about are not enabled, and the few enabled ones are found by comparing
  /// texts, without hashing one: bit min(length, 63) of enabledNameLengths_
  /// is set for the length of every enabled name, which turns most others
  /// away at once; a name of an enabled length is then compared by its length
  /// and first and last eight bytes held in the entry, and only a name longer
  /// than sixteen bytes matching those has the bytes between compared. Valid
  /// while the grouping table is at the version noted (no two tables share a
  /// version); rebuilt on the first question after the table or a state changed.
  struct EnabledGrouping {
    std::uint64_t head;  ///< the name's first eight bytes, zero past its end
    std::uint64_t tail;  ///< its last eight bytes, zero for a shorter name
    std::size_t length;
    std::int32_t number;
    std::string name;
  };
  static constexpr std::uint64_t kStaleEnabledGroupings = ~std::uint64_t{0};
  mutable std::vector<EnabledGrouping> enabledGroupings_;
  mutable std::uint64_t enabledNameLengths_ = 0;
  mutable std::uint64_t enabledGroupingsVersion_ = kStaleEnabledGroupings;
  mutable std::size_t lastEnabledGrouping_ = 0;  ///< index of the entry found last
  /// Identifier name → its table in mapCollections_ (null until first
  /// needed). Logging finds a name by its stored hash and pointer instead of
  /// hashing and comparing the text on every point.
  boost::unordered_map<IdentifierName, StringNumberMapping*> loggedIdentifierTables_;
  /// The tables found last, compared by interned pointer before hashing: a
  /// point names the same few identifiers as the one before it.
  std::array<std::pair<IdentifierName, StringNumberMapping*>, 4> recentIdentifierTables_{};
  std::size_t nextRecentIdentifierTable_ = 0;
  /// The identifier map of the last point logged with identifiers, numbers
  /// aside. A map's layout follows from its reserve and the names inserted,
  /// in order, alone, so a point naming the same identifiers clones it and
  /// sets the numbers in place instead of inserting each name.
  struct LoggedMapLayout {
    struct Entry {
      IdentifierName name;
      StringNumberMapping* table;  ///< the name's value table; tables are never removed
      std::size_t slot;            ///< the name's entry in `map`
    };
    std::size_t reserved = 0;    ///< 0: no layout kept
    std::vector<Entry> entries;  ///< in the order inserted, "statisticsTypeStr" last
    PTIdentifierMap map;
  };
  LoggedMapLayout loggedMapLayout_;

  // Seams and switches of this implementation.
  std::atomic<bool> basicMemStatsEnabled_;
  platform::Clock* clock_;
  std::atomic<platform::MemoryProbe*> memoryProbe_;
  platform::FileCalls* fileCalls_;
  bool recordingSystemInfoSet_ = false;
};
