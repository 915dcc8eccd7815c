// The call tree of the one checked item: phases of the same parent merged,
// rows opened on demand, so a deep or wide tree costs only what is shown.
function callTreeCells(row, node, depth) {
  const toggle = treeNameCell(row, node, depth).toggle;
  textCell(row, String(node.count), 'number');
  if (isDiff) {
    differenceCells(row, [node.lhsData, node.rhsData, node.absDiff], node.relDiff);
  } else {
    textCell(row, fixed2(node.time), 'number');
    textCell(row, fixed2(node.memory), 'number');
  }
  return toggle;
}

function addCallTreeRow(body, node, depth, before) {
  const row = body.insertRow(before ? before.sectionRowIndex : -1);
  row.className = 'callTreeRow';
  const toggle = callTreeCells(row, node, depth);
  const entry = {node, row, depth, open: false, shown: []};
  if (node.children.length > 0) {
    toggle.addEventListener('click', () => (entry.open ? closeCallTreeRow(entry) : openCallTreeRow(body, entry)));
    entry.toggle = toggle;
  }
  return entry;
}

function openCallTreeRow(body, entry) {
  const next = entry.row.nextSibling;
  for (const child of entry.node.children) {
    entry.shown.push(addCallTreeRow(body, child, entry.depth + 1, next));
  }
  entry.open = true;
  entry.toggle.textContent = '\u25BC';
}

function closeCallTreeRow(entry) {
  for (const child of entry.shown) {
    if (child.open) closeCallTreeRow(child);
    child.row.remove();
  }
  entry.shown = [];
  entry.open = false;
  entry.toggle.textContent = '\u25B6';
}

function renderCallTree(pane, item) {
  const table = document.createElement('table');
  table.id = 'callTreeTable';
  headerRow(table, isDiff ? ['Phase', 'Count', (lhsLabel || 'LHS') + ' (' + compareUnit + ')',
                             (rhsLabel || 'RHS') + ' (' + compareUnit + ')', 'Abs Diff', 'Rel Diff (%)']
                          : ['Phase', 'Count', 'Time (Secs)', 'Memory (MB)']);
  const body = table.createTBody();
  for (const node of item.phaseChildren) addCallTreeRow(body, node, 0, null);
  pane.appendChild(table);
}
