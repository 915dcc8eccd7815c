// Raw data points: one logged event each — a phase of a grouping starts or
// ends — with the times and memory snapshots sampled at that moment.
//
//   auto point = boost::make_shared<PTTracerDataPoint>();
//   point->identifiers["modelStr"] = modelNumber;  // names are mapping numbers
//
// Points hold numbers handed out by the tracer's string mappings, never names.
// Four kinds share one base; the kind is also stored in `type`, which readers
// switch on and which a point read back from a record keeps as written.
#pragma once

#include "tracer/identifier_map.h"
#include "tracer/mem_stats.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum PTDataPointType : std::int32_t {
  PT_KAVLOR = 0,
  PT_CLTGX = 1,
  PT_QD = 2,
  PT_TRACER = 3,
};

class PTKAVLORDataPoint;
class PTDiagnosticInfo;
struct haArray;
class DynamicEnum;
class PerformanceTracer;
using PTRawDataVector = std::vector<boost::shared_ptr<PTKAVLORDataPoint>>;
template <class Point>
struct PooledPointBlock;

/// The base kind: a grouping and a phase. Copies are deep: each copy owns
/// snapshots of its own.
class PTKAVLORDataPoint {
 public:
  template <class>
  friend struct PooledPointBlock;
  PTKAVLORDataPoint() : PTKAVLORDataPoint(PT_KAVLOR) {}
  PTKAVLORDataPoint(const PTKAVLORDataPoint& other) : PTKAVLORDataPoint(other, PT_KAVLOR) {}
  PTKAVLORDataPoint& operator=(const PTKAVLORDataPoint&) = delete;  // would share snapshots
  virtual ~PTKAVLORDataPoint();

  /// True when both points describe the same phase of the same subject, start
  /// and end alike: equal kind, grouping, phase and the kind's own subject
  /// fields. Start flag, statistics type, times and memory never take part.
  virtual bool matchPoint(const boost::shared_ptr<PTKAVLORDataPoint>& other) const;

  // ------------------------------------------------------------ Host records
  // A point leaves and re-enters the library as a host cell record: the
  // version text "1", the kind, the names as texts, the start flag, the two
  // times, five detailed and three basic memory values. Records without the
  // version text (the older layout) are read as well. Defined in
  // host/raw_point_records.cpp.

  /// Reads a record, numbering its names in the mappings of `tables` (new
  /// names are added). A record of an unknown version leaves the fields at
  /// their defaults. The kind is kept as the record gives it.
  PTKAVLORDataPoint(const haArray* record, PerformanceTracer& tables);
  /// As above, into the process-wide tracer's mappings.
  explicit PTKAVLORDataPoint(const haArray* record);
  /// A new record owned by the caller, naming through the tables of `tables`.
  virtual haArray* writeToCellArray(PerformanceTracer& tables) const;
  /// As above, through the process-wide tracer.
  haArray* writeToCellArray() const;
  /// Appends the five detailed values; zeros when the point has none.
  virtual void writeDetailedMemStatsToCellArray(haArray* cell, unsigned long* cursor) const;
  /// Appends the three basic values; zeros when the point has none.
  virtual void writeBasicMemStatsToCellArray(haArray* cell, unsigned long* cursor) const;
  /// Reads five values; the point keeps them only when they sum to more than 0.
  virtual void getDetailedMemStatsFromCellArray(const haArray* cell, unsigned long* cursor);
  /// Reads three values into new basic statistics.
  virtual void getBasicMemStatsFromCellArray(const haArray* cell, unsigned long* cursor);

  // -------------------------------------------------- Diagnostic report cells
  // The point as one row of the diagnostic report, cell by cell. Names are
  // those of `tables`, the tracer that numbered the point, HTML-escaped.
  // Defined in report/phase/diagnostic_cells.cpp.

  /// The whole row in a report of `reportType` (a PTDataPointType), on red
  /// when `info` is an error row. Empty when a point of this class has no row
  /// in such a report (a state-chart point outside kind 2, a tracer point
  /// outside kind 3).
  std::string getDiagnosticHTMLString(PTDataPointType reportType, const boost::shared_ptr<PTDiagnosticInfo>& info,
                                      const PerformanceTracer& tables) const;
  std::string getRowStartHTMLCellString(bool isError) const;
  std::string getRowEndHTMLCellString() const;
  /// "KAVLOR", "Calvoran", "Quorindel" or "Tracer", by class.
  virtual std::string getTypeHTMLCellString() const;
  std::string getGroupingHTMLCellString(const PerformanceTracer& tables) const;
  /// The phase name shortened as reports show it.
  std::string getPhaseHTMLCellString(const PerformanceTracer& tables) const;
  std::string getIsStartHTMLCellString() const;
  std::string getEmptyHTMLCellString() const;
  /// Times with two significant digits; the five detailed memory values with
  /// five, or "0.0" each without detailed statistics.
  std::string getDataHTMLCellString() const;

  std::int32_t type;                 ///< a PTDataPointType
  std::int32_t grouping = -1;        ///< number in the grouping mapping
  std::int32_t phase = -1;           ///< number in the phase mapping
  std::int32_t statisticsType = -1;  ///< number in the statistics-type mapping
  bool isStart : 1 = false;          ///< start of a phase, else its end
  bool isGapPoint : 1 = false;       ///< synthetic point the pairing inserts into gaps
  double wallClockTime = 0.0;        ///< seconds
  double cpuTime = 0.0;              ///< process CPU seconds
  /// The constructors give both snapshots one allocation (two aliases of one
  /// count); a slot may still be given an object of its own at any time.
  boost::shared_ptr<pt::BasicMemStats> basicMemStats;
  /// Null means the point carries no detailed statistics (possible only for
  /// points read from records).
  boost::shared_ptr<pt::DetailedMemStats> detailedMemStats;

 protected:
  explicit PTKAVLORDataPoint(PTDataPointType kind);
  /// Copies the base fields; the copy's type is `kind`, the copying class's own.
  PTKAVLORDataPoint(const PTKAVLORDataPoint& other, PTDataPointType kind);
  bool matchBase(const PTKAVLORDataPoint& other) const;

  /// Selects the constructors that leave both snapshots unset, for a record
  /// reader or a block that holds the snapshots itself.
  struct FromRecord {};
  PTKAVLORDataPoint(PTDataPointType kind, FromRecord) : type(kind) {}
  explicit PTKAVLORDataPoint(FromRecord tag) : PTKAVLORDataPoint(PT_KAVLOR, tag) {}
};

/// A block-diagram point: adds model and target.
class PTCLTGXDataPoint : public PTKAVLORDataPoint {
 public:
  template <class>
  friend struct PooledPointBlock;
  PTCLTGXDataPoint() : PTKAVLORDataPoint(PT_CLTGX) {}
  PTCLTGXDataPoint(const PTCLTGXDataPoint& other) : PTCLTGXDataPoint(other, PT_CLTGX) {}
  ~PTCLTGXDataPoint() override;

  bool matchPoint(const boost::shared_ptr<PTKAVLORDataPoint>& other) const override;

  /// Reads a record (see PTKAVLORDataPoint).
  PTCLTGXDataPoint(const haArray* record, PerformanceTracer& tables);
  explicit PTCLTGXDataPoint(const haArray* record);
  using PTKAVLORDataPoint::writeToCellArray;
  haArray* writeToCellArray(PerformanceTracer& tables) const override;
  std::string getTypeHTMLCellString() const override;
  std::string getModelHTMLCellString(const PerformanceTracer& tables) const;
  std::string getTargetHTMLCellString(const PerformanceTracer& tables) const;

  std::int32_t model = -1;   ///< number in the model mapping
  std::int32_t target = -1;  ///< number in the target mapping

 protected:
  explicit PTCLTGXDataPoint(PTDataPointType kind) : PTKAVLORDataPoint(kind) {}
  PTCLTGXDataPoint(const PTCLTGXDataPoint& other, PTDataPointType kind)
      : PTKAVLORDataPoint(other, kind), model(other.model), target(other.target) {}
  bool matchModelTarget(const PTCLTGXDataPoint& other) const;
  PTCLTGXDataPoint(PTDataPointType kind, FromRecord tag) : PTKAVLORDataPoint(kind, tag) {}
  explicit PTCLTGXDataPoint(FromRecord tag) : PTCLTGXDataPoint(PT_CLTGX, tag) {}
};

/// A state-chart point: adds machine and chart.
class PTQuorindelDataPoint : public PTCLTGXDataPoint {
 public:
  template <class>
  friend struct PooledPointBlock;
  PTQuorindelDataPoint() : PTCLTGXDataPoint(PT_QD) {}
  PTQuorindelDataPoint(const PTQuorindelDataPoint& other)
      : PTCLTGXDataPoint(other, PT_QD), machine(other.machine), chart(other.chart) {}
  ~PTQuorindelDataPoint() override;

  bool matchPoint(const boost::shared_ptr<PTKAVLORDataPoint>& other) const override;

  /// Reads a record (see PTKAVLORDataPoint).
  PTQuorindelDataPoint(const haArray* record, PerformanceTracer& tables);
  explicit PTQuorindelDataPoint(const haArray* record);
  using PTKAVLORDataPoint::writeToCellArray;
  haArray* writeToCellArray(PerformanceTracer& tables) const override;
  std::string getTypeHTMLCellString() const override;
  std::string getMachineHTMLCellString(const PerformanceTracer& tables) const;
  std::string getChartHTMLCellString(const PerformanceTracer& tables) const;

  std::int32_t machine = -1;  ///< number in the machine mapping
  std::int32_t chart = -1;    ///< number in the chart mapping

 protected:
  explicit PTQuorindelDataPoint(FromRecord tag) : PTCLTGXDataPoint(PT_QD, tag) {}
};

/// The generic point every exported logging function records: open-ended
/// identifiers, name → number of the value in that identifier's table.
class PTTracerDataPoint : public PTKAVLORDataPoint {
 public:
  template <class>
  friend struct PooledPointBlock;
  PTTracerDataPoint() : PTKAVLORDataPoint(PT_TRACER), identifiers(makeIdentifierMap()) {}
  PTTracerDataPoint(const PTTracerDataPoint& other)
      : PTKAVLORDataPoint(other, PT_TRACER), identifiers(other.identifiers) {}
  ~PTTracerDataPoint() override;

  bool matchPoint(const boost::shared_ptr<PTKAVLORDataPoint>& other) const override;

  /// Reads a record whose identifier elements ("number:value") name their
  /// identifier by its number in the identifier enumeration of `tables`,
  /// numbering names and values in its tables.
  PTTracerDataPoint(const haArray* record, PerformanceTracer& tables);
  /// As above, through `identifierEnum` (the one a trace data file carries).
  PTTracerDataPoint(const haArray* record, DynamicEnum& identifierEnum, PerformanceTracer& tables);
  /// The two above with the process-wide tracer.
  explicit PTTracerDataPoint(const haArray* record);
  PTTracerDataPoint(const haArray* record, DynamicEnum& identifierEnum);
  /// Identifier elements carry the identifier's number in the enumeration of
  /// `tables`; a name not numbered yet is numbered first.
  using PTKAVLORDataPoint::writeToCellArray;
  haArray* writeToCellArray(PerformanceTracer& tables) const override;
  std::string getTypeHTMLCellString() const override;
  /// The value text of `identifier`'s value `number`.
  std::string getIdentifiersHTMLCellString(const std::string& identifier, int number,
                                           const PerformanceTracer& tables) const;

  /// The number stored under `name`, or -1.
  std::int32_t getIdentifierNum(std::string_view name) const { return findIdentifierNumber(identifiers, name); }

  PTIdentifierMap identifiers;

 protected:
  explicit PTTracerDataPoint(FromRecord tag) : PTKAVLORDataPoint(PT_TRACER, tag), identifiers(makeIdentifierMap()) {}
};

/// A new point of class `Point` at its defaults, made as logging makes them:
/// the point and both its snapshots in one block from the point pool. The
/// slots do not own these snapshots (ownership would make the point keep
/// itself alive), so a copy of a slot is good only while the point lives; a
/// slot may still be given an object of its own.
template <class Point>
boost::shared_ptr<Point> makePooledPoint();
