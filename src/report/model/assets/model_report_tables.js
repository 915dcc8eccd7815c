// The right pane: title bar with tabs and totals, the summary and detail
// tables of the checked items.
%PLACEHOLDERTABTIME%

var currentTab = 'Summary';
var currentItems = [];
var summarySort = null;
var detailSort = null;
var detailShown = 0;
var kDetailPage = 1000;

// The comparison ladder: red when the RHS took more, green when less.
function comparisonColor(rel) {
  if (rel > 50) return '#FF0000';
  if (rel > 45) return '#FF1414';
  if (rel > 40) return '#FF2828';
  if (rel > 35) return '#FF3C3C';
  if (rel > 25) return '#FF6464';
  if (rel > 20) return '#FF7878';
  if (rel > 15) return '#FF8C8C';
  if (rel > 10) return '#FFA0A0';
  if (rel > 5) return '#FFB973';
  if (rel > 0) return '#FFD773';
  if (rel > -5) return '#C8FFC8';
  if (rel > -10) return '#B4FFB4';
  if (rel > -15) return '#A0FFA0';
  if (rel > -20) return '#8CFF8C';
  if (rel > -25) return '#78FF78';
  if (rel > -30) return '#64FF64';
  if (rel > -35) return '#50FF50';
  if (rel > -40) return '#3CFF3C';
  if (rel > -45) return '#28FF28';
  if (rel > -50) return '#14FF14';
  return '#00FF00';
}
var countColor = '#FFFF80';
function paintDifference(cell, rel) {
  cell.style.backgroundColor = comparisonColor(rel);
  cell.style.color = rel > 35 ? 'white' : 'black';
  cell.classList.add('relDiff');
}

// Number cells of a difference row, then its relative difference, coloured.
function differenceCells(row, values, relDiff) {
  for (const value of values) textCell(row, fixed2(value), 'number');
  paintDifference(textCell(row, fixed2(relDiff), 'number'), relDiff);
}

function setLoadingMessage(text) { document.getElementById('loadingMessage').textContent = text; }

function showNoSelection(message) {
  const title = document.getElementById('rightTitle');
  title.replaceChildren();
  const pane = document.getElementById('rightTable');
  pane.replaceChildren();
  const note = document.createElement('p');
  note.id = 'noSelection';
  note.textContent = message;
  pane.appendChild(note);
}

function renderRightTitle(title, tabs, totals) {
  const bar = document.getElementById('rightTitle');
  bar.replaceChildren();
  for (const tab of tabs) {
    const button = document.createElement('button');
    button.id = 'tab' + tab.replace(' ', '');
    button.textContent = tab;
    button.addEventListener('click', () => showTab(tab));
    bar.appendChild(button);
  }
  const name = document.createElement('span');
  name.className = 'title';
  name.textContent = title;
  bar.appendChild(name);
  const sums = document.createElement('span');
  sums.className = 'totals';
  sums.textContent = totals;
  bar.appendChild(sums);
}

function showTab(tab) {
  currentTab = tab;
  for (const button of document.querySelectorAll('#rightTitle button')) {
    button.classList.toggle('active', button.textContent === tab);
  }
  const pane = document.getElementById('rightTable');
  pane.replaceChildren();
  if (tab === 'Call Tree') renderCallTree(pane, currentItems[0]);
  else if (tab === 'Details') openDetail(pane, currentItems[0]);
  else renderSummary(pane, currentItems);
}

function sortableHeader(table, columns, onSort) {
  const head = headerRow(table, columns.map((column) => column.title));
  columns.forEach((column, index) => head.cells[index].addEventListener('click', () => onSort(column.key)));
}

function compareBy(key, ascending) {
  return (a, b) => {
    let x = a[key];
    let y = b[key];
    if (key === 'order') { x = parseInt(x, 10); y = parseInt(y, 10); }
    if (typeof x === 'string' || typeof y === 'string') {
      const order = String(x).localeCompare(String(y));
      return ascending ? order : -order;
    }
    return ascending ? x - y : y - x;
  };
}

// One row per phase (and target) of the checked items.
class SummaryRow {
  constructor(node) {
    this.phaseName = displayName(node);
    this.other = isTestKind ? modelName(node) : targetName(node);
    this.count = 0;
    this.time = 0;
    this.memory = 0;
    this.lhsCount = 0;
    this.rhsCount = 0;
    this.lhs = 0;
    this.rhs = 0;
  }
  add(node) {
    this.count += 1;
    if (isDiff) {
      this.lhsCount += node.own.lhsCount;
      this.rhsCount += node.own.rhsCount;
      this.lhs += node.own.lhsData;
      this.rhs += node.own.rhsData;
      this.absDiff = this.rhs - this.lhs;
      this.relDiff = relativeDifference(this.lhs, this.rhs);
    } else {
      this.time += node.own.time;
      this.memory += node.own.memory;
    }
  }
}

function hasOtherColumn() { return reportType !== 5; }

function SummarySorter(rows, key, ascending) { rows.sort(compareBy(key, ascending)); }

function summaryColumns() {
  // The code-generation difference records carry no identifiers.
  const other = hasOtherColumn() ? [{key: 'other', title: isTestKind ? 'Model' : 'Target'}] : [];
  if (!isDiff) {
    return [{key: 'phaseName', title: 'Phase'}, {key: 'count', title: 'Count'},
            {key: 'time', title: 'Time (Secs)'}, {key: 'memory', title: 'Memory (MB)'}].concat(other);
  }
  return [{key: 'phaseName', title: 'Phase'}, {key: 'lhsCount', title: 'LHS Count'},
          {key: 'rhsCount', title: 'RHS Count'}, {key: 'lhs', title: (lhsLabel || 'LHS') + ' (' + compareUnit + ')'},
          {key: 'rhs', title: (rhsLabel || 'RHS') + ' (' + compareUnit + ')'},
          {key: 'absDiff', title: 'Abs Diff'}, {key: 'relDiff', title: 'Rel Diff (%)'}].concat(other);
}

function renderSummary(pane, items) {
  const groups = new Map();
  for (const item of items) {
    for (const node of item.occurrences) {
      %PLACEHOLDER_KEY%
      let row = groups.get(key);
      if (!row) {
        row = new SummaryRow(node);
        groups.set(key, row);
      }
      row.add(node);
    }
  }
  const rows = Array.from(groups.values());
  if (!summarySort) summarySort = {key: isDiff ? 'relDiff' : 'time', ascending: false};
  SummarySorter(rows, summarySort.key, summarySort.ascending);
  const table = document.createElement('table');
  table.id = 'summaryTable';
  sortableHeader(table, summaryColumns(), (key) => {
    summarySort = {key, ascending: summarySort.key === key ? !summarySort.ascending : false};
    showTab('Summary');
  });
  const body = table.createTBody();
  for (const row of rows) {
    const tr = body.insertRow();
    textCell(tr, row.phaseName);
    if (isDiff) {
      textCell(tr, String(row.lhsCount), 'number');
      const rhsCount = textCell(tr, String(row.rhsCount), 'number');
      if (row.rhsCount !== row.lhsCount) rhsCount.style.backgroundColor = countColor;
      differenceCells(tr, [row.lhs, row.rhs, row.absDiff], row.relDiff);
    } else {
      textCell(tr, String(row.count), 'number');
      textCell(tr, fixed2(row.time), 'number');
      textCell(tr, fixed2(row.memory), 'number');
    }
    if (hasOtherColumn()) textCell(tr, row.other);
  }
  pane.appendChild(table);
}

// The path of a phase below its item, for the test kinds.
function pathOf(node) {
  const names = [];
  for (let up = node.parent; up && !up.isLeft; up = up.parent) names.unshift(displayName(up));
  return names.join(' > ');
}

function detailColumns() {
  const columns = [{key: 'order', title: 'Execution Order'}, {key: 'phaseName', title: 'Phase'}];
  if (isDiff) {
    columns.push({key: 'lhs', title: (lhsLabel || 'LHS') + ' (' + compareUnit + ')'},
                 {key: 'rhs', title: (rhsLabel || 'RHS') + ' (' + compareUnit + ')'},
                 {key: 'absDiff', title: 'Abs Diff'}, {key: 'relDiff', title: 'Rel Diff (%)'});
  } else {
    columns.push({key: 'time', title: 'Time (Secs)'}, {key: 'memory', title: 'Memory (MB)'});
  }
  if (reportType !== 3 && reportType !== 5) columns.push({key: 'model', title: 'Model'});
  if (isTestKind) columns.push({key: 'harness', title: 'Harness'}, {key: 'path', title: 'Test Path'});
  else if (reportType !== 5) columns.push({key: 'target', title: 'Target'});
  if (isDiff) columns.push({key: 'rhsOrder', title: 'RHS Order'});
  return columns;
}

function detailRowOf(node) {
  const row = {order: node.id, phaseName: displayName(node), model: modelName(node), target: targetName(node),
               harness: harnessName(node), path: isTestKind ? pathOf(node) : ''};
  if (isDiff) {
    row.lhs = node.own.lhsData;
    row.rhs = node.own.rhsData;
    row.absDiff = row.rhs - row.lhs;
    row.relDiff = relativeDifference(row.lhs, row.rhs);
    row.rhsOrder = node.rhsOrder === null || node.rhsOrder === undefined ? 'N/A' : node.rhsOrder;
  } else {
    row.time = node.own.time;
    row.memory = node.own.memory;
  }
  return row;
}

function sortDetail(rows) {
  if (!detailSort) detailSort = {key: 'order', ascending: true};
  rows.sort(compareBy(detailSort.key, detailSort.ascending));
}

// Every occurrence below the item, a page at a time: a recording of many
// thousand phases would otherwise build its whole table at once.
function openDetail(pane, item) {
  const rows = item.occurrences.map(detailRowOf);
  sortDetail(rows);
  const columns = detailColumns();
  const table = document.createElement('table');
  table.id = 'detailTable';
  sortableHeader(table, columns, (key) => {
    detailSort = {key, ascending: detailSort.key === key ? !detailSort.ascending : true};
    showTab('Details');
  });
  const body = table.createTBody();
  pane.appendChild(table);
  const more = document.createElement('button');
  more.className = 'moreRows';
  pane.appendChild(more);
  detailShown = 0;
  const showMore = () => {
    const end = Math.min(rows.length, detailShown + kDetailPage);
    for (; detailShown < end; ++detailShown) {
      const row = rows[detailShown];
      const tr = body.insertRow();
      for (const column of columns) {
        const value = row[column.key];
        const cell = textCell(tr, typeof value === 'number' ? fixed2(value) : String(value),
                              typeof value === 'number' ? 'number' : '');
        if (column.key === 'order') cell.textContent = String(value);
        if (column.key === 'relDiff') paintDifference(cell, value);
      }
    }
    more.textContent = 'Show more (' + detailShown + ' of ' + rows.length + ' shown)';
    more.classList.toggle('hidden', detailShown >= rows.length);
  };
  more.addEventListener('click', showMore);
  showMore();
}
