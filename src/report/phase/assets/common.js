// State and helpers shared by the tables of every phase-based page: record
// constructors, number display, text measuring and truncation, and the
// virtual scrolling that keeps only a window of rows in the document.
// statisticsType and the comparison names are declared by the page before
// this script.
var ABSMAXNUMPHASES = 32;
var AGGREGATEROWHEIGHT = 25;
var numPhasesToRenderInTable = { 'Aggregate': ABSMAXNUMPHASES, 'Detail': ABSMAXNUMPHASES, 'CallTree': ABSMAXNUMPHASES };
var lastStartIndex = { 'Aggregate': 0, 'Detail': 0, 'CallTree': 0 };
var resizeTabContent = { 'Aggregate': false, 'Detail': false, 'CallTree': false };
var dataView = { 'Index': [], 'Checked': [], 'AllChecked': false };
var dataViewCreated = false;

var tableIds = {
    'Aggregate': { table: 'aggregateSummaryTable', scroll: 'aggregateSummaryScrollTableDiv', holder: 'aggregateSummaryDiv', inputs: null },
    'Detail': { table: 'phaseSummaryTable', scroll: 'phaseSummaryScrollTableDiv', holder: 'phaseSummaryTableDiv', inputs: 'userInputs' },
    'CallTree': { table: 'callTreeSummaryTable', scroll: 'callTreeSummaryScrollTableDiv', holder: 'callTreeSummaryTableDiv', inputs: 'CT_userInputs' }
};

// The record constructor assigns each field by name: pages create hundreds of
// thousands of records while loading, and a constructor with a fixed shape
// is several times faster than one that loops over its arguments.
function makeStruct(names) {
    var fields = names.split(' ').filter(function (name) { return name.length > 0; });
    var count = fields.length;
    var plain = fields.every(function (name) { return /^[A-Za-z_][A-Za-z0-9_]*$/.test(name); });
    if (plain) {
        var params = fields.map(function (name, i) { return 'a' + i; });
        var body = fields.map(function (name, i) { return 'this.' + name + ' = a' + i + ';'; }).join('\n');
        return new Function(params.join(','), body);
    }
    function constructor() {
        for (var i = 0; i < count; i++) this[fields[i]] = arguments[i];
    }
    return constructor;
}

// The records of a data array written as columns: data.kinds has a letter
// per field of Struct, data.columns an array of values per field. 'n' is a
// number and 's' a text per record, 't' an index into data.texts; 'l' and
// 'r' are numbers only records present on that side carry, 'd' numbers and
// 'c' indexes into data.texts only matched records carry, by the record's
// digit in matches. What a record lacks reads -99.99. Numbers JSON cannot
// spell (NaN, Infinity) come as texts.
function recordsFromColumns(Struct, matches, data) {
    var count = matches.length;
    var matchKinds = new Uint8Array(count);
    for (var m = 0; m < count; m++) matchKinds[m] = matches.charCodeAt(m) - 48;
    // One generated loop builds every record: a value of a one-sided field is
    // the next of its column when the record's kind carries the field.
    var cursorOf = { l: 'pl', r: 'pr', d: 'pd', c: 'pd' };
    var args = [];
    for (var f = 0; f < data.kinds.length; f++) {
        var kind = data.kinds.charAt(f);
        if (kind != 's' && kind != 't' && kind != 'c') numbersOf(data.columns[f]);
        var value = cursorOf[kind] ? 'c' + f + '[' + cursorOf[kind] + ']' : 'c' + f + '[i]';
        if (kind == 't' || kind == 'c') value = 'T[' + value + ']';
        if (kind == 'l') value = '(k != 2 ? ' + value + ' : -99.99)';
        if (kind == 'r') value = '(k != 1 ? ' + value + ' : -99.99)';
        if (kind == 'd' || kind == 'c') value = '(k == 0 ? ' + value + ' : -99.99)';
        args.push(value);
    }
    var locals = data.columns.map(function (column, field) { return 'c' + field + ' = C[' + field + ']'; });
    var build = new Function('S', 'C', 'T', 'K', 'n',
        'var ' + locals.concat(['pl = 0', 'pr = 0', 'pd = 0', 'records = new Array(n)']).join(', ') + ';\n' +
        'for (var i = 0; i < n; i++) {\n' +
        '    var k = K[i];\n' +
        '    records[i] = new S(' + args.join(', ') + ');\n' +
        '    if (k != 2) pl++;\n' +
        '    if (k != 1) pr++;\n' +
        '    if (k == 0) pd++;\n' +
        '}\n' +
        'return records;');
    return build(Struct, data.columns, data.texts, matchKinds, count);
}

// JSON has no NaN or Infinity: such values come as texts.
function numbersOf(column) {
    for (var i = 0; i < column.length; i++) {
        if (typeof column[i] == 'string') column[i] = Number(column[i]);
    }
}

// Orders positions of records by a key: ascending or not, equal keys by
// position, NaN keys after the others; positions `isMissing` says have no
// value go last either way, in their order.
function positionComparator(keyOf, ascending, isMissing) {
    return function (a, b) {
        var missingA = isMissing ? isMissing(a) : false;
        var missingB = isMissing ? isMissing(b) : false;
        if (missingA != missingB) return missingA ? 1 : -1;
        if (missingA) return a - b;
        var keyA = keyOf(a);
        var keyB = keyOf(b);
        if (keyA == keyB || (keyA !== keyA && keyB !== keyB)) return a - b;
        if (keyA !== keyA) return 1;
        if (keyB !== keyB) return -1;
        var order = keyA < keyB ? -1 : 1;
        return ascending ? order : -order;
    };
}

// Names come from the trace: they are inserted as text, never as markup.
function escapeHtml(text) {
    return String(text).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
        .replace(/"/g, '&quot;').replace(/'/g, '&#39;');
}

function createScientificNotation(val) {
    var number = Number(val);
    if (!isFinite(number)) return String(val);
    var magnitude = Math.abs(number);
    var text;
    if (magnitude < 10000) {
        text = magnitude.toFixed(2);
    } else {
        var scales = [[1e6, 1e3, 'e3'], [1e9, 1e6, 'e6'], [1e12, 1e9, 'e9'], [1e15, 1e12, 'e12']];
        text = null;
        for (var i = 0; i < scales.length && text === null; i++) {
            if (magnitude < scales[i][0]) text = String(Math.round(magnitude / scales[i][1] * 100) / 100) + scales[i][2];
        }
        if (text === null) text = magnitude.toExponential(2);
    }
    return (number < 0 && text != '0.00') ? '-' + text : text;
}

// Widths are measured once per text, and only for texts that are shown, so a
// trace with many distinct names does not pay for them all at load time.
function getStringLengths(lengths, text) {
    if (lengths[text] === undefined) {
        var span = document.getElementById('FakeSpan');
        if (!span) return 0;
        span.textContent = text;
        lengths[text] = span.offsetWidth;
        span.textContent = '';
    }
    return lengths[text];
}

function modifyStrToShow(lengths, text, cellWidth) {
    text = String(text);
    var width = getStringLengths(lengths, text);
    if (width <= cellWidth - 5 || width == 0) return text;
    var fit = Math.floor(text.length * (cellWidth - 5) / width) - 3;
    return text.substring(0, Math.max(fit, 0)) + '...';
}

function elementHeight(id) {
    var element = document.getElementById(id);
    return element ? element.offsetHeight : 0;
}

function computeNumPhasesToRender(tableType) {
    var prefix = tableIds[tableType].table;
    var available = window.innerHeight - elementHeight('headerTable') - elementHeight(prefix + 'HeaderRow1') -
        elementHeight(prefix + 'HeaderRow2') - elementHeight(prefix + 'TotalsRow') -
        elementHeight(prefix + 'LastHeaderRow') - (tableIds[tableType].inputs ? elementHeight(tableIds[tableType].inputs) : 0) - 20;
    var rowHeight = AGGREGATEROWHEIGHT;
    if (tableType != 'Aggregate') {
        rowHeight = elementHeight(tableType == 'Detail' ? 'checkBoxTD1' : 'ct_checkBoxTD1');
        if (!rowHeight) rowHeight = 40;
    }
    var count = Math.min(ABSMAXNUMPHASES, Math.floor(available / rowHeight) - 1);
    numPhasesToRenderInTable[tableType] = Math.max(count, 1);
    return numPhasesToRenderInTable[tableType];
}

function rowHeightOf(tableType) {
    var table = document.getElementById(tableIds[tableType].table);
    if (table && table.tBodies.length > 0 && table.tBodies[0].rows.length > 0) return table.tBodies[0].rows[0].offsetHeight;
    return AGGREGATEROWHEIGHT;
}

// The scroll division beside a table holds an empty table as tall as all its
// rows; its scroll position chooses the window of rows that is rendered.
function generateFakeDivContents(tableType) {
    var div = document.getElementById(tableIds[tableType].scroll);
    if (!div) return;
    div.innerHTML = '<table style="width:1px;border:0;border-spacing:0"><tr><td style="padding:0"></td></tr></table>';
    syncFakeDivHeight(tableType);
    div.scrollTop = 0;
}

function syncFakeDivHeight(tableType) {
    var div = document.getElementById(tableIds[tableType].scroll);
    if (!div || !div.firstChild) return;
    var height = Math.max(numRows[tableType], 1) * (rowHeightOf(tableType) || AGGREGATEROWHEIGHT);
    if (div.firstChild.style.height != height + 'px') div.firstChild.style.height = height + 'px';
}

function windowBounds(tableType, div) {
    var rows = numRows[tableType];
    var size = numPhasesToRenderInTable[tableType];
    var excess = rows - size;
    var begin = 0;
    var range = div ? div.scrollHeight - div.clientHeight : 0;
    if (excess > 0 && range > 0) begin = Math.floor(excess * div.scrollTop / range);
    var end = begin + size;
    if (end > rows) {
        end = rows;
        begin = Math.max(end - size, 0);
    }
    return [begin, end];
}

function renderTableOfType(tableType) {
    if (tableType == 'Aggregate') renderAggregateTable();
    else if (tableType == 'Detail' && typeof renderDetailTable == 'function') renderDetailTable();
    else if (tableType == 'CallTree' && typeof renderCTDetailTable == 'function') renderCTDetailTable();
}

function reGenerateTable(div, tableType) {
    lastStartIndex[tableType] = windowBounds(tableType, div)[0];
    renderTableOfType(tableType);
}

// Keeps the scroll division beside the rendered rows and lets the mouse wheel
// over the table move it.
function tableResizeAction(tableType) {
    var table = document.getElementById(tableIds[tableType].table);
    var div = document.getElementById(tableIds[tableType].scroll);
    if (!table || !div) return;
    var body = table.tBodies.length > 0 ? table.tBodies[0] : table;
    var rect = body.getBoundingClientRect();
    var holder = document.getElementById(tableIds[tableType].holder);
    // A table wider than its holder scrolls inside it; the division stands
    // beside what is visible.
    var right = table.getBoundingClientRect().right;
    if (holder) right = Math.min(right, holder.getBoundingClientRect().right);
    div.style.position = 'absolute';
    div.style.left = (right + window.scrollX + 2) + 'px';
    div.style.top = (rect.top + window.scrollY) + 'px';
    div.style.height = Math.max(rect.height, 40) + 'px';
    if (holder && !holder.wheelAttached) {
        holder.wheelAttached = true;
        holder.addEventListener('wheel', function (event) {
            if (numRows[tableType] <= numPhasesToRenderInTable[tableType]) return;
            div.scrollTop += event.deltaY;
            event.preventDefault();
        }, { passive: false });
    }
}

function activeTableType() {
    if (activeTab == 'aggregateSummary') return 'Aggregate';
    if (activeTab == 'phaseSummary') return 'Detail';
    if (activeTab == 'callTreeSummary') return 'CallTree';
    return null;
}

function onResizeAction() {
    if (window.innerWidth < MINWINDOWWIDTH) return;
    var current = activeTableType();
    for (var tableType in resizeTabContent) {
        if (tableType != current) resizeTabContent[tableType] = true;
    }
    if (current) renderTableOfType(current);
    if (activeTab == 'memCanvas' && typeof canvasResizeAction == 'function') canvasResizeAction();
}

// Renders a table, then sizes its window of rows to the screen and renders
// again when the window changed.
function renderWindowed(tableType, render) {
    render();
    var before = numPhasesToRenderInTable[tableType];
    if (computeNumPhasesToRender(tableType) != before) render();
    syncFakeDivHeight(tableType);
    tableResizeAction(tableType);
}

// The rows [begin, end) a table shows now.
function renderBounds(tableType) {
    var rows = numRows[tableType];
    var size = numPhasesToRenderInTable[tableType];
    var begin = Math.max(Math.min(lastStartIndex[tableType], rows - size), 0);
    return [begin, Math.min(begin + size, rows)];
}
