// The comparison tables' shared pieces and the Aggregate view: one row per
// phase name aligned between the two recordings, with both counts and values,
// the deviations coloured by how far the RHS is from the LHS, and the entries
// present in one recording only marked. Headers sort; a phase name opens its
// rows in the Phases view. lhsName, rhsName, statisticsType and aggregateOnly
// are declared by the page before this script; aggData and aggDataMatch (one
// digit per record: 0 both, 1 LHS only, 2 RHS only) come with the data.
var comparisonUnits = { 'time': ' (Secs)', 'basicmemory': ' (MB)', 'detailedmemory': ' (MB)' };

function metricOf(title, lhs, rhs, dev) {
    return { title: title, lhs: lhs, rhs: rhs, dev: dev };
}

function namedMetrics(list) {
    return list.map(function (entry) { return metricOf(entry[1], 'LHS_' + entry[0], 'RHS_' + entry[0], entry[0]); });
}

var basicMemoryMetrics = namedMetrics([['UsageDelta', 'Process Usage Delta'], ['Usage', 'Process Usage'],
                                       ['UsagePeakDelta', 'Peak Usage Delta'], ['UsagePeak', 'Peak Usage']]);
var detailedEndMetrics = namedMetrics([['Free', 'Free'], ['Reserved', 'Res'], ['Committed', 'Com'],
                                       ['Dlls', 'Dll'], ['NonProcess', 'OS']]);
var detailedStartMetrics = namedMetrics([['FreeStart', 'Free at Start'], ['ReservedStart', 'Res at Start'],
                                         ['CommittedStart', 'Com at Start'], ['DllsStart', 'Dll at Start'],
                                         ['NonProcessStart', 'OS at Start']]);

// The rows' metrics; the third LHS time column is spelled as the data has it.
var phaseComparisonMetrics = {
    'time': [metricOf('Wallclock Self', 'LHS_WCSelf', 'RHS_WCSelf', 'WCSelf'),
             metricOf('Wallclock Self + Child', 'LHS_WCSelfPlusChild', 'RHS_WCSelfPlusChild', 'WCSC'),
             metricOf('CPU Self', 'LHS_CPUSself', 'RHS_CPUSelf', 'CPUSelf'),
             metricOf('CPU Self + Child', 'LHS_CPUSelfPlusChild', 'RHS_CPUSelfPlusChild', 'CPUSC')],
    'basicmemory': basicMemoryMetrics,
    'detailedmemory': detailedEndMetrics.concat(detailedStartMetrics)
};
var aggComparisonMetrics = {
    'time': [metricOf('Wallclock Self', 'LHS_WCSelf', 'RHS_WCSelf', 'WCSelf'),
             metricOf('Wallclock Self + Child', 'LHS_WCSelfPlusChild', 'RHS_WCSelfPlusChild', 'WCSC')],
    'basicmemory': basicMemoryMetrics,
    'detailedmemory': detailedEndMetrics
};

var matchTexts = ['both', 'LHS only', 'RHS only'];
var matchClasses = ['matchBothCell', 'lhsOnlyCell', 'rhsOnlyCell'];

function matchKindOf(matches, index) {
    return matches ? Number(matches.charAt(index)) : 0;
}

// Whether a column holds nothing for an entry of that kind.
function missingFor(kind, col) {
    if (kind == 0) return false;
    if (col.indexOf('LHS_') == 0) return kind == 2;
    if (col.indexOf('RHS_') == 0) return kind == 1;
    return /(AbsDev|RelDev|BkgColor)$/.test(col) && col != 'CountAbsDev';
}

// Colour classes come from a fixed ladder; anything else is dropped.
function deviationClass(text) {
    text = String(text);
    return /^ [A-Za-z0-9_]+$/.test(text) ? text : '';
}

function comparisonHeaderGroups(metrics, countColumns) {
    var units = comparisonUnits[statisticsType] || '';
    var html = '';
    if (countColumns) html += '<th colspan="3">Count</th>';
    for (var m = 0; m < metrics.length; m++) html += '<th colspan="4">' + metrics[m].title + units + '</th>';
    return html;
}

var columnTips = { 'Abs Dev': 'RHS minus LHS', 'Rel Dev': 'RHS minus LHS, in % of the LHS value' };

function sortLink(prefix, sortInfo, col, text) {
    var mark = sortInfo.col == col ? (sortInfo.asc ? ' \u25B2' : ' \u25BC') : '';
    var tip = columnTips[text] ? ' title="' + columnTips[text] + '"' : '';
    return '<a id="' + prefix + col + '"' + tip + ' href="javascript:void(0)" onclick="' +
        (prefix == 'aggCmpHeader_' ? 'sortAggData' : 'sortComparisonRows') + '(\'' + col + '\')">' + text + mark + '</a>';
}

// The recordings' columns are headed LHS and RHS, with the file names as tips:
// names of any length fit.
function comparisonSubHeaders(prefix, sortInfo, metrics, countColumns) {
    var lhs = '<span title="' + escapeHtml(lhsName) + '">LHS</span>';
    var rhs = '<span title="' + escapeHtml(rhsName) + '">RHS</span>';
    var html = '';
    if (countColumns) {
        html += '<th>' + sortLink(prefix, sortInfo, 'LHS_Count', lhs) + '</th><th>' +
            sortLink(prefix, sortInfo, 'RHS_Count', rhs) + '</th><th>' + sortLink(prefix, sortInfo, 'CountAbsDev', 'Abs Dev') + '</th>';
    }
    for (var m = 0; m < metrics.length; m++) {
        html += '<th>' + sortLink(prefix, sortInfo, metrics[m].lhs, lhs) + '</th><th>' +
            sortLink(prefix, sortInfo, metrics[m].rhs, rhs) + '</th><th>' +
            sortLink(prefix, sortInfo, metrics[m].dev + 'AbsDev', 'Abs Dev') + '</th><th>' +
            sortLink(prefix, sortInfo, metrics[m].dev + 'RelDev', 'Rel Dev') + '</th>';
    }
    return html;
}

// Opening of a comparison table: fixed columns for the match mark, the
// order (when `orderColumn`) and the phase, then `valueColumns` columns of
// numbers. Where they do not fit at a readable width the table grows wider
// than its holder, which then scrolls sideways.
var MINVALUECOLUMNWIDTH = 64;
function comparisonTableStart(id, holderId, orderColumn, valueColumns) {
    var holder = document.getElementById(holderId);
    var available = holder ? holder.clientWidth : 1000;
    var fixed = 70 + (orderColumn ? 50 : 0);
    var needed = fixed + 260 + valueColumns * MINVALUECOLUMNWIDTH;
    var wide = needed > available;
    var html = '<table id="' + id + '" class="dataTable comparisonTable" cellpadding="0" cellspacing="0"' +
        (wide ? ' style="width:' + needed + 'px"' : '') + '><colgroup><col style="width:70px">';
    if (orderColumn) html += '<col style="width:50px">';
    html += '<col style="width:' + (wide ? '260px' : '24%') + '">';
    for (var c = 0; c < valueColumns; c++) html += '<col>';
    return html + '</colgroup>';
}

function missingCell() {
    return '<td class="dataCell emptyComparisonCell" title="not in this recording">&mdash;</td>';
}

function metricCells(record, metric, kind, cellClass) {
    var html = '';
    html += kind == 2 ? missingCell() : '<td class="dataCell ' + cellClass + '">' + createScientificNotation(record[metric.lhs]) + '</td>';
    html += kind == 1 ? missingCell() : '<td class="dataCell ' + cellClass + '">' + createScientificNotation(record[metric.rhs]) + '</td>';
    if (kind != 0) return html + missingCell() + missingCell();
    var colour = deviationClass(record[metric.dev + 'BkgColor']);
    var relDev = Number(record[metric.dev + 'RelDev']);
    html += '<td class="dataCell deviationCell' + colour + '">' + createScientificNotation(record[metric.dev + 'AbsDev']) + '</td>';
    html += '<td class="dataCell deviationCell' + colour + '">' + (isFinite(relDev) ? relDev.toFixed(2) : String(relDev)) + '</td>';
    return html;
}

function matchCell(kind, id) {
    return '<td class="matchCell ' + matchClasses[kind] + '"' + (id ? ' id="' + id + '"' : '') + '>' + matchTexts[kind] + '</td>';
}

// Entries sort by the column, the order of the records breaking ties; an
// entry without a value in that column goes last either way.
function comparisonSortFunction(records, matches, sortInfo, textOf) {
    var col = sortInfo.col;
    var keyOf = function (index) {
        if (col == 'Phase') return textOf(index);
        if (col == 'Match') return matchKindOf(matches, index);
        if (col == 'Order') return index;
        return Number(records[index][col]);
    };
    return positionComparator(keyOf, sortInfo.asc, function (index) {
        return missingFor(matchKindOf(matches, index), col);
    });
}

// A new column sorts texts ascending and numbers largest first; clicking it
// again reverses the order.
function nextSortInfo(sortInfo, col) {
    if (sortInfo.col == col) return { col: col, asc: !sortInfo.asc };
    return { col: col, asc: col == 'Phase' || col == 'Match' || col == 'Order' };
}

// ------------------------------------------------------------ Aggregate view

var aggComparisonSort = { col: null, asc: true };

function aggPhaseText(index) {
    return String(aggData[index].Phase).toLowerCase();
}

function createAggDataView() {
    aggDataView['Index'] = [];
    for (var i = 0; i < aggData.length; i++) aggDataView['Index'].push(i);
    if (aggComparisonSort.col) {
        aggDataView['Index'].sort(comparisonSortFunction(aggData, aggDataMatch, aggComparisonSort, aggPhaseText));
    }
    numRows['Aggregate'] = aggDataView['Index'].length;
    aggDataViewCreated = true;
    generateFakeDivContents('Aggregate');
}

function createAggregateSummaryTable() {
    var metrics = aggComparisonMetrics[statisticsType] || [];
    var html = comparisonTableStart('aggregateSummaryTable', 'aggregateSummaryDiv', false, 3 + 4 * metrics.length);
    html += '<thead><tr id="aggregateSummaryTableHeaderRow1">';
    html += '<th rowspan="2">' + sortLink('aggCmpHeader_', aggComparisonSort, 'Match', 'Match') + '</th>';
    html += '<th rowspan="2">' + sortLink('aggCmpHeader_', aggComparisonSort, 'Phase', 'Phase') + '</th>';
    html += comparisonHeaderGroups(metrics, true) + '</tr><tr id="aggregateSummaryTableHeaderRow2">';
    html += comparisonSubHeaders('aggCmpHeader_', aggComparisonSort, metrics, true) + '</tr></thead><tbody>';
    return html;
}

function generateAggregateSummaryTable(begin, end) {
    var metrics = aggComparisonMetrics[statisticsType] || [];
    var html = createAggregateSummaryTable();
    for (var r = begin; r < end; r++) {
        var index = aggDataView['Index'][r];
        var record = aggData[index];
        var kind = matchKindOf(aggDataMatch, index);
        var cellClass = (r - begin) % 2 == 0 ? 'dataCellOdd' : 'dataCellEven';
        var name = escapeHtml(record.Phase);
        var phaseCell = aggregateOnly ? name :
            '<a href="javascript:void(0)" onclick="openDetailTab(aggData[' + index + '].Phase)">' + name + '</a>';
        html += '<tr class="' + (kind == 0 ? 'matchedRow' : 'unmatchedRow') + '">' + matchCell(kind, null);
        html += '<td class="phaseNameCell ' + cellClass + '" title="' + name + '">' + phaseCell + '</td>';
        html += '<td class="aggDataCell ' + cellClass + '">' + record.LHS_Count + '</td>';
        html += '<td class="aggDataCell ' + cellClass + '">' + record.RHS_Count + '</td>';
        html += '<td class="aggDataCell ' + cellClass + '">' + record.CountAbsDev + '</td>';
        for (var m = 0; m < metrics.length; m++) html += metricCells(record, metrics[m], kind, cellClass);
        html += '</tr>';
    }
    return html + '</tbody></table>';
}

function renderAggregateTable() {
    if (!aggDataViewCreated) createAggDataView();
    var holder = document.getElementById('aggregateSummaryDiv');
    if (!holder) return;
    renderWindowed('Aggregate', function () {
        var bounds = renderBounds('Aggregate');
        holder.innerHTML = generateAggregateSummaryTable(bounds[0], bounds[1]);
    });
}

function sortAggData(col) {
    aggComparisonSort = nextSortInfo(aggComparisonSort, col);
    aggSortInfo['Col'] = col;
    aggSortInfo['Asc'] = aggComparisonSort.asc;
    lastStartIndex['Aggregate'] = 0;
    createAggDataView();
    renderAggregateTable();
}

function openDetailTab(phaseName) {
    if (aggregateOnly) return;
    var input = document.getElementById('phasename');
    if (!input) return;
    // The name as an exact pattern: phase names may hold pattern characters.
    input.value = '^' + String(phaseName).replace(/[.*+?^${}()|[\]\\]/g, '\\$&') + '$';
    lastStartIndex['Detail'] = 0;
    modifyDataView(true);
    ShowTable('phaseSummary');
}
