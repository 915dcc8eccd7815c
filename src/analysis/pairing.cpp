#include "analysis/pairing.h"

#include "analysis/diagnostic_info.h"
#include "analysis/processed_data.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cassert>
#include <string>
#include <utility>

namespace pt::detail {

namespace {

const std::string kSelfSuffix = "_self";
const std::string kPostSuffix = "_post";

// A copy of the point's own class, so that a gap point carries its parent's
// subject fields and matches only its own partner.
boost::shared_ptr<PTKAVLORDataPoint> copyOfOwnClass(const PTKAVLORDataPoint& point) {
  if (const auto* chart = dynamic_cast<const PTQuorindelDataPoint*>(&point)) {
    return boost::make_shared<PTQuorindelDataPoint>(*chart);
  }
  if (const auto* model = dynamic_cast<const PTCLTGXDataPoint*>(&point)) {
    return boost::make_shared<PTCLTGXDataPoint>(*model);
  }
  if (const auto* tracer = dynamic_cast<const PTTracerDataPoint*>(&point)) {
    return boost::make_shared<PTTracerDataPoint>(*tracer);
  }
  return boost::make_shared<PTKAVLORDataPoint>(point);
}

// The gap point stands for the moment of `source`: its times and the
// snapshots it has. A snapshot it lacks (a point read from an old record)
// stays the parent's copy, so that the gap row's changes are measured from
// the nearest moment known rather than from nothing.
void takeMoment(PTKAVLORDataPoint& gap, const PTKAVLORDataPoint& source) {
  gap.wallClockTime = source.wallClockTime;
  gap.cpuTime = source.cpuTime;
  if (source.basicMemStats) gap.basicMemStats = boost::make_shared<pt::BasicMemStats>(*source.basicMemStats);
  if (source.detailedMemStats) {
    gap.detailedMemStats = boost::make_shared<pt::DetailedMemStats>(*source.detailedMemStats);
  }
}

bool hasDetailedFreeMemory(const PTKAVLORDataPoint& point) {
  return point.detailedMemStats && point.detailedMemStats->freeMem != 0.0;
}

}  // namespace

struct Pairing::OpenPhase {
  boost::shared_ptr<PTKAVLORDataPoint> point;
  boost::shared_ptr<PTDiagnosticInfo> info;
};

struct Pairing::GapPair {
  std::size_t index;  ///< position in the raw data of the point whose gap it fills
  boost::shared_ptr<PTKAVLORDataPoint> start;
  boost::shared_ptr<PTKAVLORDataPoint> end;
};

Pairing::Pairing(PerformanceTracer& tracer, PTProcessedDataStruct& summary, PairingSinks sinks)
    : tracer_(tracer), summary_(summary), sinks_(sinks) {}

Pairing::~Pairing() = default;

std::int32_t Pairing::descendantsOf(const PTKAVLORProcessedDataPoint& row) const {
  return rowNumber_ - 1 - row.HTMLRowNumber;
}

void Pairing::reserve(PTRawDataVector& rawData, std::size_t starts, std::size_t gaps) {
  if (sinks_.startRows != nullptr) sinks_.startRows->reserve(sinks_.startRows->size() + starts + gaps);
  if (sinks_.insertGapPoints && gaps > 0) {
    rawData.reserve(rawData.size() + 2 * gaps);
    gaps_.reserve(gaps);
  }
}

boost::shared_ptr<PTDiagnosticInfo> Pairing::makeInfo(const boost::shared_ptr<PTKAVLORDataPoint>& point, int rowNumber,
                                                      int depth) {
  // One allocation for all infos rather than a control block per row: a
  // trace has hundreds of thousands of rows.
  if (!infos_) infos_ = boost::make_shared<std::deque<PTDiagnosticInfo>>();
  PTDiagnosticInfo& info = infos_->emplace_back(makeProcessedDataPoint(point.get(), &tracer_, &identifiers_));
  info.processedPoint->HTMLRowNumber = rowNumber;
  info.processedPoint->stackDepth = depth;
  return boost::shared_ptr<PTDiagnosticInfo>(infos_, &info);
}

void Pairing::record(const boost::shared_ptr<PTKAVLORDataPoint>& point,
                     const boost::shared_ptr<PTDiagnosticInfo>& info) {
  if (sinks_.diagnosticMap != nullptr) (*sinks_.diagnosticMap)[point] = info;
}

void Pairing::recordUnpaired(UnpairedPoint unpaired) {
  if (sinks_.unpaired != nullptr) sinks_.unpaired->push_back(std::move(unpaired));
}

void Pairing::step(const boost::shared_ptr<PTKAVLORDataPoint>& point, std::size_t index) {
  if (!previous_) {
    processDiagFirstPoint(point);
  } else {
    // An end right after a start is the phase's own time, never a gap.
    const double gap = point->wallClockTime - previous_->wallClockTime;
    if (gap > kGapThresholdSeconds && !(lastWasStart_ && !point->isStart) && !open_.empty()) {
      createAndInsertRawGapPoints(previous_, point, open_.back().point, index);
    }
    if (point->isStart) {
      processDiagStartPoint(point);
    } else {
      processDiagEndPoint(point);
    }
  }
  previous_ = point;
  summary_.hasDetailedMemStats = hasDetailedFreeMemory(*point);
}

void Pairing::processDiagFirstPoint(const boost::shared_ptr<PTKAVLORDataPoint>& point) {
  // Nothing is open and no counter exists yet, so the ordinary steps do exactly
  // what a first point needs; only the gap test is skipped (nothing precedes).
  if (point->isStart) {
    processDiagStartPoint(point);
  } else {
    processDiagEndPoint(point);
  }
}

void Pairing::processDiagStartPoint(const boost::shared_ptr<PTKAVLORDataPoint>& point) {
  // Every open phase gains the new row as a descendant; rows opened while a
  // phase is open are numbered consecutively after it, so each counts its
  // descendants when it is closed rather than each start visiting them all.
  if (!open_.empty()) open_.back().info->processedPoint->numChildren += 1;
  while (levelCounters_.size() <= static_cast<std::size_t>(depth_)) {
    levelCounters_.push_back(0);
    summary_.numLevels += 1;
  }
  levelCounters_[depth_] += 1;

  auto info = makeInfo(point, rowNumber_, depth_);
  rowNumber_ += 1;
  depth_ += 1;
  PTKAVLORProcessedDataPoint& row = *info->processedPoint;
  if (!open_.empty()) row.parentPhaseID = open_.back().point->phase;
  // The outline label is the open phases' numbers and this one; only this
  // one is kept (the open phases hold theirs).
  row.outlineNumber = levelCounters_[depth_ - 1];
  open_.push_back({point, info});
  record(point, info);
  if (sinks_.startRows != nullptr) sinks_.startRows->push_back(std::move(info));
  lastWasStart_ = true;
}

void Pairing::processDiagEndPoint(const boost::shared_ptr<PTKAVLORDataPoint>& point) {
  lastWasStart_ = false;
  if (open_.empty()) {
    // An end that closes nothing: a row of its own, at the current depth.
    auto info = makeInfo(point, rowNumber_, depth_);
    rowNumber_ += 1;
    info->processedPoint->errorRow = true;
    record(point, info);
    recordUnpaired({point, nullptr, info});
    summary_.hasErrors = true;
    return;
  }

  OpenPhase& innermost = open_.back();
  if (!innermost.point->matchPoint(point)) {
    // Interleaved: the open phase stays open (and will be reported again when
    // it is still open at the end), the end points at it.
    innermost.info->processedPoint->errorRow = true;
    record(point, innermost.info);
    recordUnpaired({point, innermost.point, innermost.info});
    summary_.hasErrors = true;
    return;
  }

  // Held here: the open stack may be the row's last owner.
  const boost::shared_ptr<PTDiagnosticInfo> info = innermost.info;
  const PTKAVLORDataPoint& start = *innermost.point;
  PTKAVLORProcessedDataPoint& row = *info->processedPoint;
  row.wcStartTime = start.wallClockTime - summary_.baseWallClockTime;
  row.wcElapsedTime = point->wallClockTime - start.wallClockTime;
  row.cpuStartTime = start.cpuTime - summary_.baseCpuTime;
  row.cpuElapsedTime = point->cpuTime - start.cpuTime;
  if (point->basicMemStats) {
    row.basicProcessedMemStats.emplace(point->basicMemStats.get());
    row.basicProcessedMemStats->setDeltaValues(start.basicMemStats.get());
    if (point->detailedMemStats) {
      pt::DetailedProcessedMemStats detailed(point->detailedMemStats.get());
      detailed.setDeltaValues(start.detailedMemStats.get());
      row.setDetailedProcessedMemStats(detailed);
      if (row.numChildren > 0) {
        pt::DetailedMemStats atStart = start.detailedMemStats ? *start.detailedMemStats : pt::DetailedMemStats();
        atStart.ScaleValuesToMB();
        row.setStartDetailedMemStats(atStart);
      }
    }
  }
  row.numDescendants = descendantsOf(row);
  record(point, info);
  open_.pop_back();

  while (levelCounters_.size() <= static_cast<std::size_t>(depth_)) {
    levelCounters_.push_back(0);
    summary_.numLevels += 1;
  }
  // The next sibling's children count from 1 again.
  levelCounters_[depth_] = 0;
  if (depth_ == 1) {
    summary_.totalCpuTime += row.cpuElapsedTime;
    summary_.totalWallClockTime += row.wcElapsedTime;
  }
  depth_ -= 1;
}

void Pairing::createAndInsertRawGapPoints(const boost::shared_ptr<PTKAVLORDataPoint>& previous,
                                          const boost::shared_ptr<PTKAVLORDataPoint>& current,
                                          const boost::shared_ptr<PTKAVLORDataPoint>& parent, std::size_t index) {
  if (!parent) return;
  // "_self": the parent's own time before a child starts; "_post": the time
  // after a phase ended and before the next point.
  std::string name = (!previous->isStart || !current->isStart)
                         ? tracer_.getStringForNumber(EPT_PHASE, previous->phase) + kPostSuffix
                         : tracer_.getStringForNumber(EPT_PHASE, parent->phase) + kSelfSuffix;
  boost::shared_ptr<PTKAVLORDataPoint> start;
  boost::shared_ptr<PTKAVLORDataPoint> end;
  if (previous->basicMemStats) {
    start = copyOfOwnClass(*parent);
    end = copyOfOwnClass(*parent);
    takeMoment(*start, *previous);
    takeMoment(*end, *current);
  } else {
    // Without memory statistics the gap is only time: a plain point of no
    // grouping, shown as unaccounted.
    start = boost::make_shared<PTKAVLORDataPoint>(*previous);
    end = boost::make_shared<PTKAVLORDataPoint>(*current);
    start->grouping = end->grouping = -1;
    name = pt::kUnaccountedPhase;
  }
  start->isStart = true;
  end->isStart = false;
  start->isGapPoint = end->isGapPoint = true;
  start->phase = end->phase = tracer_.getNumberForString(EPT_PHASE, name, true);
  if (sinks_.insertGapPoints) gaps_.push_back({index, start, end});

  processDiagStartPoint(start);
  processDiagEndPoint(end);
}

void Pairing::insertGapPoints(PTRawDataVector& rawData) {
  if (gaps_.empty()) return;
  // One pass from the back: each point moves once, however many gaps there are.
  const std::size_t oldSize = rawData.size();
  rawData.resize(oldSize + 2 * gaps_.size());
  std::size_t source = oldSize;
  std::size_t target = rawData.size();
  for (auto gap = gaps_.rbegin(); gap != gaps_.rend(); ++gap) {
    assert(gap->index <= source && "gap pairs are recorded in walk order");
    while (source > gap->index) rawData[--target] = std::move(rawData[--source]);
    rawData[--target] = std::move(gap->end);
    rawData[--target] = std::move(gap->start);
  }
  gaps_.clear();
}

std::size_t Pairing::closeOpenStarts() {
  const std::size_t stillOpen = open_.size();
  while (!open_.empty()) {
    PTKAVLORProcessedDataPoint& row = *open_.back().info->processedPoint;
    row.errorRow = true;
    row.numDescendants = descendantsOf(row);
    recordUnpaired({open_.back().point, nullptr, open_.back().info});
    open_.pop_back();
  }
  return stillOpen;
}

}  // namespace pt::detail
