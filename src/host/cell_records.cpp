#include "host/cell_records.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/host_messages.h"

static_assert(std::is_same_v<unsigned long, std::size_t>,
              "the cell cursor is handed to haCalcSingleSubscript as it is");

namespace {

// The cursor is {row, column}; only the column moves.
std::size_t positionOf(const haArray* cell, const unsigned long* cursor) {
  return haCalcSingleSubscript(cell, 2, cursor);
}

// The made element goes into the cell as it is: nobody else ever sees it, so
// a duplicate would only cost an allocation per element of every record.
void place(haArray* cell, haArray* element, unsigned long* cursor) {
  haSetCell(cell, positionOf(cell, cursor), element);
  ++cursor[1];
}

// A cursor beyond the record's end reads as an empty element (haGetCell
// checks the bound), so a short record can never be read past.
const haArray* take(const haArray* cell, unsigned long* cursor) {
  const haArray* element = haGetCell(cell, positionOf(cell, cursor));
  ++cursor[1];
  return element;
}

template <class T>
T firstElement(const haArray* value) {
  T v;
  std::memcpy(&v, haGetData(value), sizeof v);
  return v;
}

// The bits of the first element as a 32-bit integer. Narrower classes give
// their value and 64-bit ones their low half, so nothing beyond the element's
// own bytes is read.
std::uint32_t firstIntegerBits(const haArray* value) {
  if (haIsEmpty(value)) return 0;
  switch (haGetClassID(value)) {
    case haINT8_CLASS: return static_cast<std::uint32_t>(firstElement<std::int8_t>(value));
    case haUINT8_CLASS: return firstElement<std::uint8_t>(value);
    case haINT16_CLASS: return static_cast<std::uint32_t>(firstElement<std::int16_t>(value));
    case haUINT16_CLASS: return firstElement<std::uint16_t>(value);
    case haINT32_CLASS:
    case haUINT32_CLASS: return firstElement<std::uint32_t>(value);
    case haINT64_CLASS:
    case haUINT64_CLASS: return static_cast<std::uint32_t>(firstElement<std::uint64_t>(value));
    default: return 0;
  }
}

template <class T>
haArray* numericScalar(T value) {
  haArray* scalar = haCreateNumericMatrix(1, 1, haClassOf<T>(), haREAL);
  *haGetElements<T>(scalar) = value;
  return scalar;
}

// Every byte of the text: a name with a NUL byte is stored whole.
haArray* textElement(const std::string& text) { return haCreateStringFromNChars(text.data(), text.size()); }

}  // namespace

// ------------------------------------------------------------------ Writers

void AddDataToCellArray(haArray* cell, const haArray* data, unsigned long* cursor) {
  place(cell, haDuplicateArray(data), cursor);
}

void ptAddIntToCellArray(haArray* cell, int value, unsigned long* cursor) {
  place(cell, numericScalar<std::int32_t>(value), cursor);
}

void ptAddUInt32ToCellArray(haArray* cell, unsigned int value, unsigned long* cursor) {
  place(cell, numericScalar<std::uint32_t>(value), cursor);
}

void ptAddDoubleToCellArray(haArray* cell, double value, unsigned long* cursor) {
  place(cell, haCreateDoubleScalar(value), cursor);
}

void ptAddLogicalToCellArray(haArray* cell, bool value, unsigned long* cursor) {
  place(cell, haCreateLogicalScalar(value), cursor);
}

void ptAddStringToCellArray(haArray* cell, const std::string& value, unsigned long* cursor) {
  place(cell, textElement(value), cursor);
}

void ptAddIntVectorToCellArray(haArray* cell, const std::vector<int>& values, unsigned long* cursor) {
  place(cell, ptCreateCellArrayFromIntVector(values), cursor);
}

void ptAddStringVectorToCellArray(haArray* cell, const std::vector<std::string>& values, unsigned long* cursor) {
  place(cell, ptCreateCellArrayFromStringVector(values), cursor);
}

// ----------------------------------------------------------------- Builders

haArray* ptCreateCellArrayFromIntVector(const std::vector<int>& values) {
  platform::HostArrayPtr cell(haCreateCellMatrix(1, values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) haSetCell(cell.get(), i, numericScalar<std::int32_t>(values[i]));
  return cell.release();
}

haArray* ptCreateCellArrayFromStringVector(const std::vector<std::string>& values) {
  platform::HostArrayPtr cell(haCreateCellMatrix(1, values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) haSetCell(cell.get(), i, textElement(values[i]));
  return cell.release();
}

// ------------------------------------------------------------------ Readers

int ptGetIntFromCellArray(const haArray* cell, unsigned long* cursor) {
  return ptGetIntegerFrom_haArray(take(cell, cursor));
}

unsigned int ptGetUInt32FromCellArray(const haArray* cell, unsigned long* cursor) {
  return ptGetUInt32From_haArray(take(cell, cursor));
}

double ptGetDoubleFromCellArray(const haArray* cell, unsigned long* cursor) {
  return ptGetDoubleFrom_haArray(take(cell, cursor));
}

bool ptGetLogicalFromCellArray(const haArray* cell, unsigned long* cursor) {
  return ptGetLogicalFrom_haArray(take(cell, cursor));
}

std::string ptGetStringFromCellArray(const haArray* cell, unsigned long* cursor) {
  return haArrayToStdString(take(cell, cursor));
}

std::vector<std::string> ptGetStringVectorFromCellArray(const haArray* cell, unsigned long* cursor) {
  const haArray* nested = take(cell, cursor);
  std::vector<std::string> texts;
  if (!haIsCell(nested)) return texts;
  const std::size_t count = haGetNumberOfElements(nested);
  texts.reserve(count);
  for (std::size_t i = 0; i < count; ++i) texts.push_back(haArrayToStdString(haGetCell(nested, i)));
  return texts;
}

bool ptCellArrayHasVersionString(const haArray* cell, unsigned long* cursor) {
  return haIsCharVector(haGetCell(cell, positionOf(cell, cursor)));
}

// ------------------------------------------------ Single values (arguments)

int ptGetIntegerFrom_haArray(const haArray* value) { return static_cast<int>(firstIntegerBits(value)); }

unsigned int ptGetUInt32From_haArray(const haArray* value) { return firstIntegerBits(value); }

double ptGetDoubleFrom_haArray(const haArray* value) { return haIsScalar(value) ? haGetScalar(value) : 0.0; }

bool ptGetLogicalFrom_haArray(const haArray* value) { return haIsLogicalScalarTrue(value); }

std::string ptCreateStringFrom_haArray(const haArray* value) { return haArrayToStdString(value); }

std::vector<std::string> ptGetStringVectorFromCellArray(const haArray* cell) {
  const std::size_t count = haGetNumberOfElements(cell);
  std::vector<std::string> texts;
  texts.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const haArray* element = haGetCell(cell, i);
    if (!haIsCharVector(element)) haErrorMsgIdAndTxt("AddGroupingExpectedString");
    texts.push_back(haArrayToStdString(element));
  }
  return texts;
}
