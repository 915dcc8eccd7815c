// Handlers of the report methods of ZezaDazod.Tracer: name/value arguments
// from the host turned into one call of a report generator, on the live data
// or on trace data files read beside it.
//
//   // generateHTMLReport('htmlfile', 'run.html', 'metric', 'basicmemory')
//   pt::bindings::methods::generateHTMLReport(n, out, 4, inputs);
//
// Reading a trace data file never touches the live raw data; a report is
// never written over one of its own input files.
#pragma once

#include "bindings/tracer_methods.h"

namespace pt::bindings::methods {

Handler generateHTMLReport;
Handler generateAggregateReport;
Handler diagnosticReport;
Handler generateDifferenceReport;
Handler generateAggregateDifferenceReport;
Handler generateCLTestReport;
Handler generateCLStartupReport;
Handler generateCLStartupDifferenceReport;

}  // namespace pt::bindings::methods
