// Start-up: trees from the records, the left table, the flame graph, and
// the first selection (every item checked).
%PLACEHOLDER_FGFUNCTIONS%

function startReport() {
  buildTree(leftTreeData, true, leftNodeMap, leftProcessedMap);
  buildTree(rightTreeData, false, rightNodeMap, rightProcessedMap);
  buildLeftTable();
  %PLACEHOLDER_INIT%
  selectionChanged(false);
  %PLACEHOLDER_MESSAGE%
  document.body.dataset.ready = 'true';
}
startReport();
