#include "tracer/data_points.h"

#include "platform/huge_page_pool.h"

#include <boost/make_shared.hpp>

namespace {

// The two snapshots of a point live in one allocation from the point pool, each
// slot an alias that shares its count: a trace holds millions of points, and a
// separate block per snapshot costs a control block and an allocator header more. A copy gets a
// pair of its own, so changing one point's memory figures never changes another's.
struct SnapshotPair {
  pt::BasicMemStats basic;
  pt::DetailedMemStats detailed;
};

void allocateSnapshots(PTKAVLORDataPoint& point, const pt::BasicMemStats* basic, const pt::DetailedMemStats* detailed) {
  auto pair = boost::allocate_shared<SnapshotPair>(platform::HugePageAllocator<SnapshotPair>());
  if (basic != nullptr) pair->basic = *basic;
  if (detailed != nullptr) pair->detailed = *detailed;
  // Moved into the second alias: one count increment instead of two and a decrement.
  pt::DetailedMemStats* const detailedSlot = &pair->detailed;
  point.basicMemStats = boost::shared_ptr<pt::BasicMemStats>(pair, &pair->basic);
  point.detailedMemStats = boost::shared_ptr<pt::DetailedMemStats>(std::move(pair), detailedSlot);
}

// The stored kind says which class to compare against, but a point read from a
// record keeps the kind the record gave it whatever its class; the cast makes
// sure the fields compared really exist.
template <class Point>
const Point* sameKind(const PTKAVLORDataPoint& self, const boost::shared_ptr<PTKAVLORDataPoint>& other) {
  if (!other || other->type != self.type) return nullptr;
  return dynamic_cast<const Point*>(other.get());
}

}  // namespace

PTKAVLORDataPoint::PTKAVLORDataPoint(PTDataPointType kind) : type(kind) { allocateSnapshots(*this, nullptr, nullptr); }

PTKAVLORDataPoint::PTKAVLORDataPoint(const PTKAVLORDataPoint& other, PTDataPointType kind)
    : type(kind),
      grouping(other.grouping),
      phase(other.phase),
      statisticsType(other.statisticsType),
      isStart(other.isStart),
      isGapPoint(other.isGapPoint),
      wallClockTime(other.wallClockTime),
      cpuTime(other.cpuTime) {
  // A null source snapshot gives a default one.
  allocateSnapshots(*this, other.basicMemStats.get(), other.detailedMemStats.get());
}

// A logged point: the point and its snapshots in one block. The slots alias
// the snapshots without owning them, since owning its own block would keep the
// point alive forever.
template <class Point>
struct PooledPointBlock {
  PooledPointBlock() : point(typename Point::FromRecord{}) {
    point.basicMemStats = boost::shared_ptr<pt::BasicMemStats>(boost::shared_ptr<void>(), &snapshots.basic);
    point.detailedMemStats = boost::shared_ptr<pt::DetailedMemStats>(boost::shared_ptr<void>(), &snapshots.detailed);
  }
  Point point;
  SnapshotPair snapshots;
};

template <class Point>
[[gnu::hot]] boost::shared_ptr<Point> makePooledPoint() {
  auto block = boost::allocate_shared<PooledPointBlock<Point>>(platform::HugePageAllocator<PooledPointBlock<Point>>());
  Point* const point = &block->point;
  return boost::shared_ptr<Point>(std::move(block), point);
}

template boost::shared_ptr<PTKAVLORDataPoint> makePooledPoint<PTKAVLORDataPoint>();
template boost::shared_ptr<PTCLTGXDataPoint> makePooledPoint<PTCLTGXDataPoint>();
template boost::shared_ptr<PTQuorindelDataPoint> makePooledPoint<PTQuorindelDataPoint>();
template boost::shared_ptr<PTTracerDataPoint> makePooledPoint<PTTracerDataPoint>();

PTKAVLORDataPoint::~PTKAVLORDataPoint() = default;
PTCLTGXDataPoint::~PTCLTGXDataPoint() = default;
PTQuorindelDataPoint::~PTQuorindelDataPoint() = default;
PTTracerDataPoint::~PTTracerDataPoint() = default;

bool PTKAVLORDataPoint::matchBase(const PTKAVLORDataPoint& other) const {
  return type == other.type && grouping == other.grouping && phase == other.phase;
}

bool PTKAVLORDataPoint::matchPoint(const boost::shared_ptr<PTKAVLORDataPoint>& other) const {
  return other && matchBase(*other);
}

bool PTCLTGXDataPoint::matchModelTarget(const PTCLTGXDataPoint& other) const {
  return matchBase(other) && model == other.model && target == other.target;
}

bool PTCLTGXDataPoint::matchPoint(const boost::shared_ptr<PTKAVLORDataPoint>& other) const {
  const auto* same = sameKind<PTCLTGXDataPoint>(*this, other);
  return same != nullptr && matchModelTarget(*same);
}

bool PTQuorindelDataPoint::matchPoint(const boost::shared_ptr<PTKAVLORDataPoint>& other) const {
  const auto* same = sameKind<PTQuorindelDataPoint>(*this, other);
  return same != nullptr && matchModelTarget(*same) && machine == same->machine && chart == same->chart;
}

bool PTTracerDataPoint::matchPoint(const boost::shared_ptr<PTKAVLORDataPoint>& other) const {
  const auto* same = sameKind<PTTracerDataPoint>(*this, other);
  return same != nullptr && matchBase(*same) && identifiers == same->identifiers;
}
