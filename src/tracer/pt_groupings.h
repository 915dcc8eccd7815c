// Exported grouping functions: how native tools register groupings, build
// composite trees and switch them on and off.
//
//   ptEnableTracer("Calvoran Test", true);  // builds the built-in tree, enables all nine
//   std::vector<std::string> all = ptGetGroupingList("Calvoran Test");
//
// A composite grouping acts on its whole tree; no grouping can become, at any
// depth, its own sub-group.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Enables or disables the grouping's tree, first building the built-in
/// composites "All Calvoran Code Generation", "All Calvoran Compile" and
/// "Calvoran Test" when the name is one of them.
void ptEnableTracer(const std::string& name, bool enable);
/// The plain grouping's number; -1 when the name is a composite grouping.
std::int32_t ptAddGrouping(const std::string& name);
/// Empty on success, otherwise the error text of PerformanceTracer::addGrouping
/// ("Group: ...", "Sub group: ...", "Cycle: ... already contains ...").
std::string ptAddGrouping(const std::string& name, const std::vector<std::string>& subGroups);
/// False when the grouping is not registered.
bool ptRemoveGrouping(const std::string& name);
/// The grouping's tree, sub-groups before their group; empty when not registered.
std::vector<std::string> ptGetGroupingList(const std::string& name);
