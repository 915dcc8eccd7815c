// Aggregate tree and flame graph: folds a model-based report tree into one
// node per phase and parent, writes it as folded stack lines, draws them with
// the flame-graph script installed with the library, and hands the report page
// the parts of the drawing it embeds.
//
//   std::optional<PTFlameGraph> graph = makeFlameGraph(nodeMap, PT_REPORT_MODEL, "time");
//   if (graph) page += graph->svgLine + graph->staticContent + graph->frames;
//
// Counts are self values: hundredths of a second for times, the tree's unit
// for memory. Problems are reported on the standard error stream and leave the
// report without a flame graph; none of them throws.
#pragma once

#include "platform/replacing_file.h"
#include "report/model/tree_construction.h"

#include <optional>
#include <string>
#include <vector>

/// The script under the installation root.
std::string flameGraphScriptPath();
/// Whether the script can be opened.
bool checkFlameGraphPLExists();

/// The aggregate tree of the tree under nodeMap["root"]: source nodes with the
/// same phase, aggregate parent and target merged, values summed. Null, with a
/// message, when there is no root. Works at any depth.
PTprocessedDataNode::Ptr buildAggregateTree(const PTNodeMap& nodeMap);
/// Turns the summed totals into self values, clamped at 0; times become
/// hundredths of a second.
void updateAggregateTree(const PTprocessedDataNode::Ptr& aggregateRoot);
/// One "a;b;c COUNT" line per node below the root (" COUNT OTHER" for the
/// difference types), visiting only the root's children marked "leftTree".
/// Stacks deeper than kMaxFlameGraphDepth end at that depth, with the deeper
/// counts added to the last frame: a deeper graph cannot be drawn, and its
/// text would grow with the square of the depth.
std::vector<std::string> generateStackTraces(const PTprocessedDataNode::Ptr& aggregateRoot, PTReportType type,
                                             bool isTime);
inline constexpr std::size_t kMaxFlameGraphDepth = 1000;

/// Writes each line, carriage returns removed, ending in a line feed; false
/// when the file cannot be opened or written.
bool writeStackTracesToFile(const std::string& fileName, const std::vector<std::string>& lines,
                            platform::FileCalls& calls = platform::systemFileCalls());
/// What writing the stack lines of a tree found.
struct PTStackFile {
  bool written = false;   ///< the file was opened and every line written
  std::size_t lines = 0;  ///< lines met, written or not
  bool anyCount = false;  ///< some line counts more than 0
};
/// The lines generateStackTraces gives, written as the function above does
/// without holding them all.
PTStackFile writeStackTracesToFile(const std::string& fileName, const PTprocessedDataNode::Ptr& aggregateRoot,
                                   PTReportType type, bool isTime,
                                   platform::FileCalls& calls = platform::systemFileCalls());
std::string convertToUnixFormat(std::string text);

/// Runs the script (no shell involved) on `folder`/stacks.txt into
/// `folder`/flamegraph.svg at width 1600, then replaceInFile on it. False,
/// with one line on standard error naming the failure, when the run fails.
bool generateFlameGraph(const std::string& folder);
bool checkFlameGraphSVGExists(const std::string& path);

/// Turns the frames' tool-tips into hidden <id> elements and strips the
/// script's own event handlers, for the page's script to drive the drawing.
/// A file that cannot be read or written is named on standard error.
void replaceInFile(const std::string& path, platform::FileCalls& calls = platform::systemFileCalls());
/// The whole file; empty, with a message, when it cannot be read.
std::string readFileAsString(const std::string& path);
/// The first line holding "<svg"; empty when there is none.
std::string extractSVGLine(const std::string& path);
/// What lies between the end of the script block and the first frame.
std::string getTextContent(const std::string& svg);
/// From the first "<g>" through the last "</g>".
std::string getGContent(const std::string& svg);

/// The parts of a drawing the report page embeds.
struct PTFlameGraph {
  std::string svgLine;        ///< the opening <svg ...> line
  std::string staticContent;  ///< background, title, details and controls
  std::string frames;         ///< the frame groups
};

/// The whole road in a private temporary folder, removed afterwards: nothing
/// when the script is missing (silently) or the drawing fails (with a message).
std::optional<PTFlameGraph> makeFlameGraph(const PTNodeMap& nodeMap, PTReportType type, const std::string& format);
