// Processed data points: one report row each — one execution of a phase with
// its start time, elapsed times, memory values and deltas, its place in the
// nesting and its error and gap marks.
//
//   PTTracerProcessedDataPoint row(&rawStart);      // identity and start memory
//   std::string key = row.getLCSString();           // alignment key of the row
//
// Pairing makes one per row from the row's start point and fills in times and
// memory when the matching end arrives. The four classes mirror the four raw
// point kinds and differ in the subject fields they carry (model, target,
// machine, chart, or open-ended identifiers), hence in how they compare, print
// their keys and name their aggregation keys. Names are printed through the
// mappings of the tracer that numbered them: each row remembers it, so rows of
// a loaded trace and of the live one can be compared side by side.
//
// A trace has hundreds of thousands of rows, so a row keeps its basic memory
// statistics inline (engaged from construction) rather than in a separately
// shared object, allocates detailed statistics only when they hold something
// other than zeros (a reader treats a missing object as zeros), and shares its
// identifiers with the rows that have the same ones.
#pragma once

#include "analysis/processed_identifier_map.h"
#include "tracer/data_points.h"
#include "tracer/dynamic_enum.h"
#include "tracer/identifier_map.h"
#include "tracer/mem_stats.h"
#include "tracer/string_mappings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class PerformanceTracer;

/// The base row: a phase of a grouping. Copies are deep.
class PTKAVLORProcessedDataPoint {
 public:
  PTKAVLORProcessedDataPoint() = default;
  /// Identity (grouping, phase, statistics type), the gap mark and the point's
  /// memory in MB with zero deltas; times stay 0 until the row is closed.
  /// A null point gives a default row. `tables` is the tracer whose mappings
  /// numbered the point (null: the process-wide tracer).
  explicit PTKAVLORProcessedDataPoint(const PTKAVLORDataPoint* raw, PerformanceTracer* tables = nullptr);
  /// A copy of the base part: its kind is the base kind.
  PTKAVLORProcessedDataPoint(const PTKAVLORProcessedDataPoint& other) : PTKAVLORProcessedDataPoint(other, PT_KAVLOR) {}
  PTKAVLORProcessedDataPoint& operator=(const PTKAVLORProcessedDataPoint&) = delete;
  virtual ~PTKAVLORProcessedDataPoint();

  /// Same phase and grouping; the other's class and subject are not looked at.
  virtual bool stringsEqual(const PTKAVLORProcessedDataPoint* other) const;
  /// Alignment key: cleaned phase name, grouping name, then the subject names.
  virtual std::string getLCSString() const;
  /// Aggregation keys; `first` is always the phase number, unused keys are -1.
  virtual void getAggregationIDs(int& first, int& second, int& third) const;
  virtual int getPhaseID() const { return phase; }
  virtual int getGroupingID() const { return grouping; }
  /// The subject fields, or -1 in a class that lacks them.
  virtual int getModelID() const { return -1; }
  virtual int getTargetID() const { return -1; }
  virtual int getMachineID() const { return -1; }
  virtual int getChartID() const { return -1; }
  /// The tracer whose mappings number this row's names.
  PerformanceTracer& tables() const;

  /// Null stands for the process-wide tracer. Copies and conversions keep it.
  PerformanceTracer* namingTracer = nullptr;
  std::int32_t pointType = PT_KAVLOR;  ///< a PTDataPointType
  std::int32_t grouping = -1;          ///< number in the grouping mapping
  std::int32_t phase = -1;             ///< number in the phase mapping
  std::int32_t statisticsType = -1;    ///< number in the statistics-type mapping
  bool errorRow : 1 = false;           ///< the row could not be paired cleanly
  bool gapRow : 1 = false;             ///< a synthetic row for unmeasured time
  std::int32_t HTMLRowNumber = 0;      ///< from 1, in order of the rows' first points
  std::int32_t numChildren = 0;        ///< direct children only
  std::int32_t stackDepth = 0;         ///< 0 at top level
  std::int32_t parentPhaseID = -1;     ///< phase of the enclosing row, -1 at top level
  /// Wall-clock seconds at the start, as recorded (the summary's base time is
  /// not subtracted).
  double wcStartTime = 0.0;
  double wcElapsedTime = 0.0;   ///< wall-clock seconds from start to end
  double cpuStartTime = 0.0;    ///< CPU seconds at the start, as recorded
  double cpuElapsedTime = 0.0;  ///< CPU seconds from start to end
  /// Values at the end in MB and their change since the start.
  std::optional<pt::BasicProcessedMemStats> basicProcessedMemStats{std::in_place};
  /// As above for the detailed statistics; null when every value and change
  /// is 0, which is how rows look while detailed sampling is off.
  std::unique_ptr<pt::DetailedProcessedMemStats> detailedProcessedMemStats;
  /// Detailed values at the start in MB, for rows with children only; null
  /// when every value is 0.
  std::unique_ptr<pt::DetailedMemStats> startDetailedMemStats;

  /// Stores a copy, or nothing (null) when every value and change is 0.
  void setDetailedProcessedMemStats(const pt::DetailedProcessedMemStats& stats);
  /// Stores a copy, or nothing (null) when every value is 0.
  void setStartDetailedMemStats(const pt::DetailedMemStats& stats);
  /// The row's number among the rows opened under the same parent, from 1:
  /// the last part of its outline label ("3" of "1.2.3"); 0 for an end that
  /// closed nothing. The label itself is made when it is written
  /// (PTOutlineLabels), from the numbers of the rows before it.
  std::int32_t outlineNumber = 0;
  /// Rows opened while this one was open; they are numbered consecutively
  /// after it.
  std::int32_t numDescendants = 0;
  /// Row number of every descendant, in opening order.
  std::vector<int> childrenIDs() const;

  // ------------------------------------------------------------- Host export
  // The row handed to host code as a 1-by-1 struct, or as a cell of the same
  // values in the same order. `phaseNumText` is the row's outline label, which
  // only the sequence of rows knows (PTOutlineLabels). Defined in
  // host/processed_point_structs.cpp.

  /// A new struct owned by the caller: names, times, memory, then metadata.
  virtual haArray* writeToStructArray(const std::string& phaseNumText);
  /// A new 1-by-n cell owned by the caller.
  virtual haArray* writeToCellArray(const std::string& phaseNumText);
  /// The sixteen memory fields of element `index` of `s`, found by their
  /// names; `scratch` is a 1-by-1 double reused for every value (each field
  /// receives a duplicate). Zeros where the row has no statistics.
  void writeMemoryStatsToStructArray(haArray* s, unsigned long index, haArray* scratch) const;
  /// The five detailed values, then their five changes.
  void writeDetailedMemStatsToCellArray(haArray* cell, unsigned long* cursor) const;
  /// The three basic values, then their three changes.
  void writeBasicMemStatsToCellArray(haArray* cell, unsigned long* cursor) const;
  /// errorRow, gapRow, the label, HTMLRowNumber, numChildren, stackDepth, childrenIDs.
  void writeMetaDataToCellArray(haArray* cell, unsigned long* cursor, const std::string& phaseNumText) const;

 protected:
  PTKAVLORProcessedDataPoint(const PTKAVLORDataPoint* raw, PTDataPointType kind, PerformanceTracer* tables);
  /// A copy whose kind is `kind`.
  PTKAVLORProcessedDataPoint(const PTKAVLORProcessedDataPoint& other, PTDataPointType kind);
};

/// A block-diagram row: adds model and target.
class PTCLTGXProcessedDataPoint : public PTKAVLORProcessedDataPoint {
 public:
  PTCLTGXProcessedDataPoint() : PTKAVLORProcessedDataPoint(nullptr, PT_CLTGX, nullptr) {}
  explicit PTCLTGXProcessedDataPoint(const PTCLTGXDataPoint* raw, PerformanceTracer* tables = nullptr);
  PTCLTGXProcessedDataPoint(const PTCLTGXProcessedDataPoint& other) : PTCLTGXProcessedDataPoint(other, PT_CLTGX) {}
  ~PTCLTGXProcessedDataPoint() override;

  /// Only another block-diagram row (kind 1) with equal phase, grouping, model
  /// and target.
  bool stringsEqual(const PTKAVLORProcessedDataPoint* other) const override;
  std::string getLCSString() const override;
  void getAggregationIDs(int& first, int& second, int& third) const override;
  int getModelID() const override { return model; }
  int getTargetID() const override { return target; }
  /// Adds "modelStr" and "targetStr" after "phaseIDStr".
  haArray* writeToStructArray(const std::string& phaseNumText) override;
  haArray* writeToCellArray(const std::string& phaseNumText) override;
  /// A table row naming grouping, model and target for the phase detail rows.
  virtual std::string getMetaStringsTDString() const;

  std::int32_t model = -1;   ///< number in the model mapping
  std::int32_t target = -1;  ///< number in the target mapping

 protected:
  PTCLTGXProcessedDataPoint(const PTCLTGXDataPoint* raw, PTDataPointType kind, PerformanceTracer* tables);
  PTCLTGXProcessedDataPoint(const PTCLTGXProcessedDataPoint& other, PTDataPointType kind)
      : PTKAVLORProcessedDataPoint(other, kind), model(other.model), target(other.target) {}
  bool sameModelTarget(const PTCLTGXProcessedDataPoint& other) const;
};

/// A state-chart row: adds machine and chart.
class PTQDProcessedDataPoint : public PTCLTGXProcessedDataPoint {
 public:
  PTQDProcessedDataPoint() : PTCLTGXProcessedDataPoint(nullptr, PT_QD, nullptr) {}
  explicit PTQDProcessedDataPoint(const PTQuorindelDataPoint* raw, PerformanceTracer* tables = nullptr);
  PTQDProcessedDataPoint(const PTQDProcessedDataPoint& other)
      : PTCLTGXProcessedDataPoint(other, PT_QD), machine(other.machine), chart(other.chart) {}
  ~PTQDProcessedDataPoint() override;

  /// Only another state-chart row (kind 2) with all six fields equal.
  bool stringsEqual(const PTKAVLORProcessedDataPoint* other) const override;
  std::string getLCSString() const override;
  void getAggregationIDs(int& first, int& second, int& third) const override;
  int getMachineID() const override { return machine; }
  int getChartID() const override { return chart; }
  /// Adds "modelStr", "targetStr", "machineStr" and "chartStr" after "phaseIDStr".
  haArray* writeToStructArray(const std::string& phaseNumText) override;
  haArray* writeToCellArray(const std::string& phaseNumText) override;
  /// Missing subjects print as "NO MODEL SPECIFIED" and the like.
  std::string getMetaStringsTDString() const override;

  std::int32_t machine = -1;  ///< number in the machine mapping
  std::int32_t chart = -1;    ///< number in the chart mapping
};

/// The generic row of points logged through the exported functions: open-ended
/// identifiers. Rows of the other kinds convert to it (model reports and
/// classification work on identifiers only).
class PTTracerProcessedDataPoint : public PTKAVLORProcessedDataPoint {
 public:
  PTTracerProcessedDataPoint() : PTKAVLORProcessedDataPoint(nullptr, PT_TRACER, nullptr) {}
  /// Copies the identifiers; a "UserString" whose text the test-path map of
  /// `tables` knows is split into test file, suite, case and iteration. A
  /// malformed path leaves the identifiers unsplit and is reported once on
  /// standard error.
  explicit PTTracerProcessedDataPoint(const PTTracerDataPoint* raw, PerformanceTracer* tables = nullptr);
  /// As above, sharing the identifiers with the pool's rows that have the same.
  PTTracerProcessedDataPoint(const PTTracerDataPoint* raw, PTIdentifierMapPool& pool,
                             PerformanceTracer* tables = nullptr);
  /// A copy; the identifier enumeration starts empty.
  PTTracerProcessedDataPoint(const PTTracerProcessedDataPoint& other);
  /// The base part of `other`, without identifiers.
  explicit PTTracerProcessedDataPoint(const PTKAVLORProcessedDataPoint& other);
  /// Adds "modelStr" and "targetStr" naming the same values, numbered in the
  /// identifier tables of the row's tracer (added when new).
  explicit PTTracerProcessedDataPoint(const PTCLTGXProcessedDataPoint& other);
  /// Adds "modelStr", "targetStr", "machineStr" and "chartStr".
  explicit PTTracerProcessedDataPoint(const PTQDProcessedDataPoint& other);
  /// As above, with the names and numbers of `tables`, the tracer whose
  /// mappings numbered `other`.
  PTTracerProcessedDataPoint(const PTCLTGXProcessedDataPoint& other, PerformanceTracer& tables);
  PTTracerProcessedDataPoint(const PTQDProcessedDataPoint& other, PerformanceTracer& tables);
  ~PTTracerProcessedDataPoint() override;

  std::string getLCSString() const override;
  /// Second and third keys are the identifiers "model" and "chart".
  void getAggregationIDs(int& first, int& second, int& third) const override;
  /// The number stored under `name`, or -1.
  int getIdentifierNum(std::string_view name) const;
  /// Splits "file > suite > case # iteration" into the identifiers "TestFile",
  /// "TestSuite", "TestCase" and "IterationName"; std::runtime_error when the
  /// file, or the suite and case, cannot be found.
  void addTestPathToIdentifierMap(const std::string& path);
  /// A table row naming the grouping and every identifier's value.
  std::string getMetaStringsTDString() const;
  /// No "statisticsTypeStr" field; one text field per identifier, named after
  /// it, follows the fixed fields. An identifier named like a fixed field is
  /// left out (the fixed field keeps its value).
  haArray* writeToStructArray(const std::string& phaseNumText) override;
  /// The identifiers come after the phase name: their count, then name and
  /// value text of each.
  haArray* writeToCellArray(const std::string& phaseNumText) override;

  /// Identifier names merged for the host export; made on first use, as most
  /// rows are never exported.
  DynamicEnum& identifierEnum();

  /// Identifier name → number of its value in that identifier's table.
  PTProcessedIdentifierMap identifiers;

 private:
  void applyTestPath();
  void addSubjectIdentifier(PerformanceTracer& tables, const char* name, EPTStringMappings mapping,
                            std::int32_t number);

  std::unique_ptr<DynamicEnum> identifierEnum_;
};
