// Exported logging functions: how native tools record the start and end of a
// phase of work. Each call ends in the tracer's funnel (`logEvent`), which
// records the event only when global logging is on or its grouping is enabled.
//
//   ptEnableTracer("Calvoran Compile", true);
//   ptLogCalvoranData("Calvoran Compile", "vdp", "grt", "Compile", true);
//
// Identifiers travel as a flat list of name/value pairs. A pair with an empty
// value is left out of the point, and the last name of a list with an odd
// number of strings is dropped, on both roads. Logging never throws; the
// functions return true only when a raw point was appended at once, so they
// always return false while the instrumentation recorder is in use.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

/// The funnel: `pairs` holds name, value, name, value, ...
bool ptLogTracerDataVecInput(const std::string& grouping, const std::string& phase, bool isStart,
                             const std::vector<std::string>& pairs);
/// The grouping by its number in the grouping table (an unknown number names
/// the grouping "").
bool ptLogTracerDataVecInput(int grouping, const std::string& phase, bool isStart,
                             const std::vector<std::string>& pairs);
/// No identifiers.
bool ptLogKAVLORData(const std::string& grouping, const std::string& phase, bool isStart);
bool ptLogKAVLORData(int grouping, const std::string& phase, bool isStart);
/// Identifiers "modelStr" and "targetStr".
bool ptLogCalvoranData(const std::string& grouping, const std::string& model, const std::string& target,
                       const std::string& phase, bool isStart);
bool ptLogCalvoranData(int grouping, const std::string& model, const std::string& target, const std::string& phase,
                       bool isStart);
/// Identifiers "modelStr", "targetStr", "machineStr" and "chartStr".
bool ptLogQuorindelData(const std::string& grouping, const std::string& model, const std::string& target,
                        const std::string& machine, const std::string& chart, const std::string& phase, bool isStart);
bool ptLogQuorindelData(int grouping, const std::string& model, const std::string& target, const std::string& machine,
                        const std::string& chart, const std::string& phase, bool isStart);
/// The grouping "Calvoran Startup", no identifiers.
bool ptLogCLStartupData(const std::string& phase, bool isStart);

/// Whether an event of the grouping would be recorded: global logging is on
/// or the grouping is enabled.
bool ptIsTracerEnabled(int grouping);
bool ptIsTracerEnabled(const std::string& grouping);
/// Records every grouping, registered or not, while on.
void ptEnableGlobalLogging(bool enable);

/// Opens (creating or emptying) a report file for reading and writing, through
/// the tracer's file calls; null when it cannot be opened or the path is empty
/// or holds a NUL character.
std::FILE* ptCreateReportFile(const std::string& path);

/// Splits a pair list into names and values of equal length, leaving out the
/// pairs with an empty value and the last name of an odd list.
void extractIdentifiers(const std::vector<std::string>& pairs, std::vector<std::string>& names,
                        std::vector<std::string>& values);
