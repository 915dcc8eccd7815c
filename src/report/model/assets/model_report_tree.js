// The left tree: nodes from the records, the checkable table of models,
// sections, tests and groupings, and the selection it makes.
var reportType = %REPORT_TYPE%;
var isDiff = reportType >= 3;
var isTestKind = reportType === 2 || reportType === 4;
var lhsLabel = "%LHSLABEL%";
var rhsLabel = "%RHSLABEL%";
var compareUnit = "%COMPARE_UNIT%";

// The links and merge state a new node starts with, in both kinds of report.
function initNodeLinks(node, ifLeft) {
    node.isLeft = ifLeft;
    node.count = 1;
    // Filled on merging; a report can hold hundreds of thousands of nodes.
    node.details = null;
    node.children = [];
    if (ifLeft) {
        node.phaseChildren = [];
        node.occurrences = [];
    }
    node.parent = null;
}

%PLACEHOLDER_NODE%

var leftNodeMap = new Map();
var leftProcessedMap = new Map();
var rightNodeMap = new Map();
var rightProcessedMap = new Map();
var leftRows = [];

function nameIn(table, number) {
  if (number === null || number === undefined || !table || table[number] === undefined) return '';
  return table[number];
}
function displayName(node) { return nameIn(phase, node.phase); }
function modelName(node) { return nameIn(modelStr, node.model); }
function targetName(node) { return nameIn(targetStr, node.target); }
function harnessName(node) { return typeof harnessModel === 'undefined' ? '' : nameIn(harnessModel, node.harness); }

// Records in order; a parent always comes before its children. Below a
// phase, repeated phases of the same parent and target become one node that
// keeps the originals in its details.
function buildTree(data, ifLeft, nodeMap, processedNodeMap) {
  const merged = new Map();
  for (const record of data) {
    const node = new Node(record, ifLeft);
    nodeMap.set(node.id, node);
    const parent = processedNodeMap.get(node.parentID) || leftProcessedMap.get(node.parentID) || null;
    node.parent = parent;
    if (!ifLeft && parent) {
      node.item = parent.isLeft ? parent : parent.item;
      if (node.item) node.item.occurrences.push(node);
      if (!parent.isLeft) {
        const key = node.phase + '@' + parent.id + '@' + node.target;
        const same = merged.get(key);
        if (same) {
          same.merge(node);
          processedNodeMap.set(node.id, same);
          continue;
        }
        merged.set(key, node);
      }
    }
    processedNodeMap.set(node.id, node);
    if (parent) (ifLeft || !parent.isLeft ? parent.children : parent.phaseChildren).push(node);
  }
}

function textCell(row, text, className) {
  const cell = document.createElement('td');
  cell.textContent = text;
  if (className) cell.className = className;
  row.appendChild(cell);
  return cell;
}
function headerRow(table, names) {
  const head = table.createTHead().insertRow();
  for (const name of names) {
    const th = document.createElement('th');
    th.textContent = name;
    head.appendChild(th);
  }
  return head;
}
function fixed2(value) { return typeof value === 'number' && Number.isFinite(value) ? value.toFixed(2) : 'N/A'; }

function buildLeftTable() {
  const table = document.createElement('table');
  table.id = 'display-table';
  headerRow(table, isDiff ? ['', 'Name', lhsLabel || 'LHS', rhsLabel || 'RHS', 'Rel Diff (%)']
                          : ['', 'Name', 'Time (Secs)', 'Memory (MB)']);
  const body = table.createTBody();
  const root = leftNodeMap.get('root');
  if (root) for (const child of root.children) addLeftRows(body, child, 0);
  const pane = document.getElementById('leftTable');
  pane.replaceChildren(table);
}

function addLeftRows(body, node, depth) {
  const row = body.insertRow();
  row.dataset.id = node.id;
  row.className = depth % 2 === 0 ? 'even' : 'odd';
  if (depth > 0) row.classList.add('hidden');
  node.row = row;
  node.depth = depth;
  node.expanded = false;
  leftRows.push(node);

  const boxCell = row.insertCell();
  const box = document.createElement('input');
  box.type = 'checkbox';
  box.checked = true;
  box.addEventListener('change', () => onCheck(node));
  boxCell.appendChild(box);
  node.checkbox = box;

  const nameCell = treeNameCell(row, node, depth);
  node.toggle = nameCell.toggle;
  if (node.children.length > 0) {
    node.toggle.addEventListener('click', (event) => { event.stopPropagation(); toggleRow(node); });
  }
  nameCell.addEventListener('click', () => selectOnly(node, true));
  if (isDiff) {
    differenceCells(row, [node.lhsData, node.rhsData], node.relDiff);
  } else {
    textCell(row, fixed2(node.time), 'number');
    textCell(row, fixed2(node.memory), 'number');
  }
  for (const child of node.children) addLeftRows(body, child, depth + 1);
}

// The name cell of a tree row, left tree or call tree: indented by depth, an
// open/close mark when the node has children (cell.toggle), the name, and
// for a difference a mark on a node of one side only.
function treeNameCell(row, node, depth) {
  const nameCell = textCell(row, '', 'name');
  nameCell.style.paddingLeft = (4 + 16 * depth) + 'px';
  const toggle = document.createElement('span');
  toggle.className = 'toggle';
  if (node.children.length > 0) toggle.textContent = '\u25B6';
  nameCell.appendChild(toggle);
  nameCell.toggle = toggle;
  const label = document.createElement('span');
  label.className = 'label';
  label.textContent = displayName(node);
  nameCell.appendChild(label);
  if (isDiff && node.compareOperation !== 0) {
    const mark = document.createElement('span');
    mark.className = 'oneSided ' + (node.compareOperation === 1 ? 'lhsOnly' : 'rhsOnly');
    mark.textContent = node.compareOperation === 1 ? 'LHS only' : 'RHS only';
    nameCell.appendChild(mark);
  }
  return nameCell;
}

function setExpanded(node, expanded) {
  node.expanded = expanded;
  if (node.children.length > 0) node.toggle.textContent = expanded ? '\u25BC' : '\u25B6';
  for (const child of node.children) {
    child.row.classList.toggle('hidden', !expanded);
    if (!expanded) setExpanded(child, false);
  }
}
function toggleRow(node) { setExpanded(node, !node.expanded); }
function revealRow(node) {
  const chain = [];
  for (let up = node.parent; up && up.row; up = up.parent) chain.unshift(up);
  for (const up of chain) if (!up.expanded) setExpanded(up, true);
  node.row.scrollIntoView({block: 'nearest'});
}

function setChecked(node, checked) {
  node.checkbox.checked = checked;
  node.checkbox.indeterminate = false;
  for (const child of node.children) setChecked(child, checked);
}
function checkState(node) { return node.checkbox.indeterminate ? 0.5 : (node.checkbox.checked ? 1 : 0); }
function updateAncestors(node) {
  for (let up = node.parent; up && up.checkbox; up = up.parent) {
    let sum = 0;
    for (const child of up.children) sum += checkState(child);
    up.checkbox.checked = sum === up.children.length;
    up.checkbox.indeterminate = sum > 0 && sum < up.children.length;
  }
}
function onCheck(node) {
  setChecked(node, node.checkbox.checked);
  updateAncestors(node);
  selectionChanged(true);
}
function selectedItems() { return leftRows.filter((node) => node.leftTree === 2 && node.checkbox.checked); }

// A click on a name selects that item (or grouping) alone.
function selectOnly(node, zoomFlameGraph) {
  for (const other of leftRows) {
    other.checkbox.checked = false;
    other.checkbox.indeterminate = false;
    other.row.classList.remove('selectedRow');
  }
  setChecked(node, true);
  updateAncestors(node);
  node.row.classList.add('selectedRow');
  selectionChanged(zoomFlameGraph);
}

function itemTitle(ele) {
  const name = displayName(ele);
  if (name === 'Simulation' && ele.model !== null) return 'Simulation for ' + modelName(ele);
  if (name === 'Main Model Code Generation' && ele.model !== null) return 'Code Generation for ' + modelName(ele);
  return name;
}

function selectionChanged(zoomFlameGraph) {
  const items = selectedItems();
  currentItems = items;
  if (items.length === 0) {
    showNoSelection('Please select at least one checkbox on the left table to view performance table');
    return;
  }
  let tabs = ['Summary'];
  let title = 'Performance of Selected Names';
  if (items.length === 1) {
    const ele = items[0];
    if (zoomFlameGraph) { %PLACEHOLDER_CLICKFG% }
    tabs = ['Summary', 'Call Tree', 'Details'];
    title = itemTitle(ele);
  }
  renderRightTitle(title, tabs, dealWithTabTime(items));
  showTab(tabs.includes(currentTab) ? currentTab : 'Summary');
}
