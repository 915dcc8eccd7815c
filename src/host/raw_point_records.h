// Raw point records: each raw point kind leaves the library, and comes back, as
// a host cell record (the members are declared with the points, in
// tracer/data_points.h, and defined in raw_point_records.cpp). This header adds
// what reading or writing many records in a row needs.
//
//   PTRecordNameCache names;  // before a million records are read or written
//   for (const haArray* record : records) points.push_back(boost::make_shared<PTTracerDataPoint>(record));
#pragma once

#include <memory>

/// While one is alive on a thread, the record readers and writers of that
/// thread remember the names they translate between text and mapping number,
/// so that each distinct name costs one look-up in the tracer rather than one
/// per record. Keep it only as long as nothing but the records themselves
/// changes the tracer's string mappings, identifier enumeration or current
/// root. Caches nest: the innermost is used.
class PTRecordNameCache {
 public:
  PTRecordNameCache();
  ~PTRecordNameCache();
  PTRecordNameCache(const PTRecordNameCache&) = delete;
  PTRecordNameCache& operator=(const PTRecordNameCache&) = delete;

  /// What the record code remembers; defined with it.
  struct Names;
  /// The names of this thread's innermost cache, or null when none is alive.
  static Names* active();

 private:
  std::unique_ptr<Names> names_;
  PTRecordNameCache* previous_;
};
