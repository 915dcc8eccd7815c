// Outline labels of report rows ("1", "1.2", "1.2.3"): a row's label is its
// parent's label followed by the row's own number among its siblings. Rows
// keep only that number and their depth; the labels are made as the rows are
// written, in the order of their start points, so that a trace nested
// thousands of levels deep never holds a label per row.
//
//   PTOutlineLabels labels;
//   for (const auto& info : summary.diagnosticInfos) write(labels.next(*info->processedPoint));
//
// Labels of more than kMaxOutlineLabelParts (64) parts are abbreviated: the
// first kOutlineLabelHeadParts (32) numbers, "(+N)" for the N numbers left
// out, then the last 31, all joined by "." (a row 1,000 levels deep:
// "1.1.….1.(+937).1.….2"). Page size and writing time then grow with the
// rows, not with the rows times the depth; a page reads only the depth from a
// label (for indenting), and no page indents that far.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PTKAVLORProcessedDataPoint;

/// Labels with at most this many parts are written in full.
inline constexpr std::size_t kMaxOutlineLabelParts = 64;
/// Numbers kept before the "(+N)" part of an abbreviated label.
inline constexpr std::size_t kOutlineLabelHeadParts = 32;

class PTOutlineLabels {
 public:
  /// The label of `row`, which comes after its parent and the parent's
  /// earlier descendants (the order of a summary's rows). A row without an
  /// outline number (an end that closed nothing) has an empty label. The
  /// text stays valid until the next call.
  const std::string& next(const PTKAVLORProcessedDataPoint& row);

 private:
  /// The numbers of the last labelled row and its ancestors, outermost first.
  std::vector<std::int32_t> numbers_;
  std::string text_;
};
