// Grouping enable states: whether logging records the points of a grouping.
//
//   std::vector<EPTGroupingEnabled> states(20, EPT_GROUPING_UNKNOWN);
//   bool on = states[g] == EPT_GROUPING_ENABLED;  // only this state records
#pragma once

enum EPTGroupingEnabled : int {
  EPT_GROUPING_UNKNOWN = -1,  ///< never set, or reset by registration or removal
  EPT_GROUPING_DISABLED = 0,
  EPT_GROUPING_ENABLED = 1,
};
