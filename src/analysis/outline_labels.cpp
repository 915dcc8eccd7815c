#include "analysis/outline_labels.h"

#include "analysis/processed_points.h"

#include <charconv>

namespace {

void appendNumber(std::string& out, std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void appendParts(std::string& out, const std::vector<std::int32_t>& numbers, std::size_t from, std::size_t to) {
  for (std::size_t k = from; k < to; ++k) {
    if (!out.empty()) out += '.';
    appendNumber(out, numbers[k]);
  }
}

}  // namespace

const std::string& PTOutlineLabels::next(const PTKAVLORProcessedDataPoint& row) {
  text_.clear();
  if (row.outlineNumber <= 0) return text_;
  // The ancestors are the numbers of the levels above; a sequence that skips
  // a level (never made by pairing) shows 0 for the level it lacks.
  numbers_.resize(static_cast<std::size_t>(row.stackDepth < 0 ? 0 : row.stackDepth), 0);
  numbers_.push_back(row.outlineNumber);

  const std::size_t parts = numbers_.size();
  if (parts <= kMaxOutlineLabelParts) {
    appendParts(text_, numbers_, 0, parts);
    return text_;
  }
  const std::size_t tail = kMaxOutlineLabelParts - kOutlineLabelHeadParts - 1;
  appendParts(text_, numbers_, 0, kOutlineLabelHeadParts);
  text_ += ".(+";
  appendNumber(text_, static_cast<std::int64_t>(parts - kOutlineLabelHeadParts - tail));
  text_ += ')';
  appendParts(text_, numbers_, parts - tail, parts);
  return text_;
}
