// Cell records: the host cell arrays through which every record leaves the
// tracer and comes back, written and read one element at a time, left to right.
//
//   unsigned long cursor[2] = {0, 0};  // {row, column} of the next element
//   ptAddIntToCellArray(record, 3, cursor);  int kind = ptGetIntFromCellArray(record, readCursor);
//
// Every writer and reader takes the same cursor for one record and moves its
// column on by one, so a record's element order is the order of the calls.
// Each element is an array of its own that the record owns. Readers never
// fail: an element that is missing, lies beyond the record's end or has the
// wrong class reads as 0, 0.0, false or an empty text. The same file holds the
// conversions of single host values passed as method arguments.
#pragma once

#include <string>
#include <vector>

#include "platform/host_array.h"

// ------------------------------------------------------------------ Writers
// Each writes the element at the cursor and advances it.

/// Stores a duplicate of `data`; the caller keeps `data`.
void AddDataToCellArray(haArray* cell, const haArray* data, unsigned long* cursor);
/// A 1-by-1 int32.
void ptAddIntToCellArray(haArray* cell, int value, unsigned long* cursor);
/// A 1-by-1 uint32.
void ptAddUInt32ToCellArray(haArray* cell, unsigned int value, unsigned long* cursor);
void ptAddDoubleToCellArray(haArray* cell, double value, unsigned long* cursor);
void ptAddLogicalToCellArray(haArray* cell, bool value, unsigned long* cursor);
/// A character row vector of the text's bytes up to its first NUL.
void ptAddStringToCellArray(haArray* cell, const std::string& value, unsigned long* cursor);
/// A nested 1-by-k cell of int32 scalars.
void ptAddIntVectorToCellArray(haArray* cell, const std::vector<int>& values, unsigned long* cursor);
/// A nested 1-by-k cell of character vectors.
void ptAddStringVectorToCellArray(haArray* cell, const std::vector<std::string>& values, unsigned long* cursor);

// ----------------------------------------------------------------- Builders

/// A new 1-by-size cell of int32 scalars in vector order, owned by the caller.
haArray* ptCreateCellArrayFromIntVector(const std::vector<int>& values);
/// A new 1-by-size cell of character vectors in vector order, owned by the caller.
haArray* ptCreateCellArrayFromStringVector(const std::vector<std::string>& values);

// ------------------------------------------------------------------ Readers
// Each reads the element at the cursor and advances it, whatever it found.

/// The first 32 bits of an integer-class element, else 0.
int ptGetIntFromCellArray(const haArray* cell, unsigned long* cursor);
/// As ptGetIntFromCellArray, as unsigned.
unsigned int ptGetUInt32FromCellArray(const haArray* cell, unsigned long* cursor);
/// The value of any one-element element, else 0.0.
double ptGetDoubleFromCellArray(const haArray* cell, unsigned long* cursor);
/// True only for a logical scalar holding true.
bool ptGetLogicalFromCellArray(const haArray* cell, unsigned long* cursor);
/// The bytes of a character element, else "".
std::string ptGetStringFromCellArray(const haArray* cell, unsigned long* cursor);
/// The texts of a nested cell in linear order (non-text elements give "");
/// empty when the element is not a cell.
std::vector<std::string> ptGetStringVectorFromCellArray(const haArray* cell, unsigned long* cursor);

/// Whether the element at the cursor is a character vector; does not advance.
/// Tells a record that opens with its version text from an older one.
bool ptCellArrayHasVersionString(const haArray* cell, unsigned long* cursor);

// ------------------------------------------------ Single values (arguments)

/// The first 32 bits of an integer-class array; 0 for null or another class.
int ptGetIntegerFrom_haArray(const haArray* value);
unsigned int ptGetUInt32From_haArray(const haArray* value);
/// haGetScalar of a one-element array; 0.0 for null or more elements.
double ptGetDoubleFrom_haArray(const haArray* value);
/// True only for a logical scalar holding true.
bool ptGetLogicalFrom_haArray(const haArray* value);
/// The bytes of a character array; "" for anything else.
std::string ptCreateStringFrom_haArray(const haArray* value);
/// Every element of a whole cell, in linear order, as text. Throws the host
/// error "AddGroupingExpectedString" at the first element that is not a
/// character vector.
std::vector<std::string> ptGetStringVectorFromCellArray(const haArray* cell);
