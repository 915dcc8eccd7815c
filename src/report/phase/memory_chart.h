// The MemChart tab of the phase report: a stacked column per report row of
// how the process's memory was split when the phase started, drawn in the
// browser from procData.
//
//   page += generateMemoryCanvasTable(summary.hasDetailedMemStats);
//   page += generateCanvasJavaScript(summary.hasDetailedMemStats);
#pragma once

#include <string>

/// The MemChart container: a script that checks for canvas support at load
/// time and inserts the chart's canvases, or a message saying why there is
/// no chart.
std::string generateMemoryCanvasTable(bool hasDetailedMemStats);
/// The script that draws the MemChart tab from procData.
std::string generateCanvasJavaScript(bool hasDetailedMemStats);
