// Pairing: the one walk over raw points that every analysis loop shares. It
// matches each end with the start it closes, nests and numbers the rows,
// measures times and memory, makes error rows for what cannot be paired and
// fills unmeasured gaps inside an open phase with synthetic gap rows. The
// loops differ only in which points they admit.
//
//   pt::detail::Pairing pairing(tracer, summary, {.diagnosticMap = &rowsByPoint});
//   pairing.walk(rawData, [&](const PTKAVLORDataPoint& point) { return point.grouping == wanted; });
//
// Internal to the analysis: reports use the tracer's analysis members.
#pragma once

#include "analysis/analysis_types.h"
#include "analysis/processed_identifier_map.h"
#include "tracer/data_points.h"

#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class PerformanceTracer;

namespace pt::detail {

/// A gap longer than this (the single-precision 0.1, as double) inside an open
/// phase gets a gap row.
inline constexpr double kGapThresholdSeconds = static_cast<double>(0.1f);

/// A point a walk could not pair.
struct UnpairedPoint {
  /// An end that closes nothing or not the innermost open phase, or a start
  /// still open when the walk is closed.
  boost::shared_ptr<PTKAVLORDataPoint> point;
  /// For an end: the start of the innermost open phase; null when nothing was open.
  boost::shared_ptr<PTKAVLORDataPoint> open;
  /// The error row it made or marked.
  boost::shared_ptr<PTDiagnosticInfo> row;
};

/// Where a walk puts the rows it makes; any may be null.
struct PairingSinks {
  /// Every stepped raw point → its row.
  PTDiagnosticMap* diagnosticMap = nullptr;
  /// The rows opened by start points, in walk order, which is the order of
  /// their start points in the raw data once the gap points are in place.
  PTDiagnosticInfoVector* startRows = nullptr;
  /// False when the raw data is a private copy that is dropped afterwards:
  /// the gap points then need no room in it.
  bool insertGapPoints = true;
  /// The points that could not be paired: ends as they are stepped, then the
  /// starts still open, innermost first.
  std::vector<UnpairedPoint>* unpaired = nullptr;
};

class Pairing {
 public:
  /// Rows get their names through `tracer`'s mappings (gap phases are added to
  /// them); results go to `summary` and the sinks.
  Pairing(PerformanceTracer& tracer, PTProcessedDataStruct& summary, PairingSinks sinks);
  Pairing(const Pairing&) = delete;
  Pairing& operator=(const Pairing&) = delete;
  ~Pairing();

  /// Steps every point of `rawData` that `admit` accepts, in order, then
  /// (unless the sinks say otherwise) puts the gap points made on the way into
  /// `rawData` before the points whose gap they fill. Gap points are stepped as they are made, whatever `admit`
  /// would say of them, so a walk never revisits a gap.
  template <class Admit>
  void walk(PTRawDataVector& rawData, Admit&& admit) {
    // Room for every row and gap point is made before any row exists, so
    // that no container grows by copying while all rows are in memory. Gaps
    // between admitted points bound the gap pairs from above.
    std::size_t starts = 0;
    std::size_t gaps = 0;
    const PTKAVLORDataPoint* previous = nullptr;
    for (const boost::shared_ptr<PTKAVLORDataPoint>& point : rawData) {
      if (!point || !admit(*point)) continue;
      starts += point->isStart ? 1 : 0;
      gaps += previous != nullptr && point->wallClockTime - previous->wallClockTime > kGapThresholdSeconds ? 1 : 0;
      previous = point.get();
    }
    reserve(rawData, starts, gaps);

    for (std::size_t index = 0; index < rawData.size(); ++index) {
      const boost::shared_ptr<PTKAVLORDataPoint>& point = rawData[index];
      if (point && admit(*point)) step(point, index);
    }
    insertGapPoints(rawData);
  }

  /// Marks the row of every start still open as an error row and closes it;
  /// returns how many there were.
  std::size_t closeOpenStarts();

 private:
  struct OpenPhase;
  struct GapPair;

  void reserve(PTRawDataVector& rawData, std::size_t starts, std::size_t gaps);
  /// A row of its own for `point`; rows of one walk share one allocation.
  boost::shared_ptr<PTDiagnosticInfo> makeInfo(const boost::shared_ptr<PTKAVLORDataPoint>& point, int rowNumber,
                                               int depth);
  void step(const boost::shared_ptr<PTKAVLORDataPoint>& point, std::size_t index);
  void processDiagFirstPoint(const boost::shared_ptr<PTKAVLORDataPoint>& point);
  void processDiagStartPoint(const boost::shared_ptr<PTKAVLORDataPoint>& point);
  void processDiagEndPoint(const boost::shared_ptr<PTKAVLORDataPoint>& point);
  /// Makes the gap pair between `previous` and `current` inside `parent` and
  /// steps it; it goes into the raw data before position `index`.
  void createAndInsertRawGapPoints(const boost::shared_ptr<PTKAVLORDataPoint>& previous,
                                   const boost::shared_ptr<PTKAVLORDataPoint>& current,
                                   const boost::shared_ptr<PTKAVLORDataPoint>& parent, std::size_t index);
  void insertGapPoints(PTRawDataVector& rawData);
  void record(const boost::shared_ptr<PTKAVLORDataPoint>& point, const boost::shared_ptr<PTDiagnosticInfo>& info);
  void recordUnpaired(UnpairedPoint unpaired);
  /// The rows made since `row`, all opened while it was open.
  std::int32_t descendantsOf(const PTKAVLORProcessedDataPoint& row) const;

  PerformanceTracer& tracer_;
  PTProcessedDataStruct& summary_;
  PairingSinks sinks_;
  /// Innermost open phase last.
  std::vector<OpenPhase> open_;
  int rowNumber_ = 1;
  int depth_ = 0;
  /// Entry k counts the rows opened so far at depth k under the current parent.
  std::vector<int> levelCounters_;
  bool lastWasStart_ = false;
  boost::shared_ptr<PTKAVLORDataPoint> previous_;
  std::vector<GapPair> gaps_;
  PTIdentifierMapPool identifiers_;
  /// Every info made by this walk; each row is an aliasing pointer into it,
  /// so a row kept alive keeps the walk's rows alive.
  boost::shared_ptr<std::deque<PTDiagnosticInfo>> infos_;
};

/// The loop behind generateProcessedDataForGroupings, with sinks of the caller's choice.
void pairGroupings(PerformanceTracer& tracer, PTRawDataVector* rawData, const std::vector<std::string>& groupings,
                   PTProcessedDataStruct& summary, PairingSinks sinks);

}  // namespace pt::detail
