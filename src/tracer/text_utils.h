// Text utilities: the path clean-up that turns logged phase names (often file
// paths inside the host installation, with either slash) into the short,
// normalised names reports show, the number-to-text conversion of the exported
// interface, and small string helpers shared by the report code.
//
//   ptSetCurrentKAVLORRoot("C:\\kavlor");
//   std::string name = ptCleanupPhaseName("C:\\kavlor\\toolbox\\load.m", false);  // "toolbox/load.m"
//
// The installation root these functions strip is one process-wide setting,
// like the tracer itself; all of them run on the host thread.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

/// Every "\\" replaced by "/".
std::string ptCleanupSlashes(const std::string& path);
/// Sets the root `ptRemoveKAVLORRoot` strips, stored with forward slashes.
void ptSetCurrentKAVLORRoot(const std::string& root);
/// The path with forward slashes, less the current root when it begins with
/// it; a root found later in the path is left in place.
std::string ptRemoveKAVLORRoot(const std::string& path);
/// The host installation root, asked of the host function "kavlorroot". When
/// the call fails, the last root it gave (empty before the first). Throws
/// platform::HostError "UnexpectedValue" when the host answers with no text.
std::string ptGetKAVLORRoot();
/// A phase name made relative to the current root, with forward slashes and no
/// leading slash. With `stripCustomization` the first "/cl_internal_customization"
/// and then the first "/cl_customization" are removed (only from longer names).
std::string ptCleanupPhaseName(const std::string& name, bool stripCustomization);
/// `value` printed with 17 significant digits, then cut (never rounded) to
/// `precision` decimals; a whole number gets `precision` zeros, digits missing
/// after the point are not padded, and an exponent after the cut is dropped:
/// (0.1, 3) gives "0.100", (2.5, 2) "2.5", (3, 2) "3.00", (12.5, 0) "12".
/// A precision outside 0..1000 prints a message to the host console and
/// gives "" (a hostile one would otherwise ask for gigabytes of zeros).
std::string ptDoubleToUString(double value, int precision);
/// Writes every byte of `text` through at once, with the process-wide
/// tracer's file calls; false when the file is null or the write failed.
bool ptWriteUStringToFile(std::FILE* file, const std::string& text);

/// values[i] for the first names[i] equal to `name`; empty when there is none
/// or when `values` is too short to hold it.
std::string findIdentifierValue(const std::string& name, const std::vector<std::string>& names,
                                const std::vector<std::string>& values);
/// The pieces between occurrences of `delimiter`, left to right; the piece
/// after the last one is always included ("a > " gives "a" and ""). An empty
/// delimiter gives the whole text as one piece.
std::vector<std::string> splitString(const std::string& text, const std::string& delimiter);
/// The text with its first character upper-cased.
std::string capitalizeFirstLetter(const std::string& text);
