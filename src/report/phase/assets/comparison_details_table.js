// The Phases view of the comparison page: every aligned row of the two
// recordings in alignment order, filtered by name, by where a row is present
// and by the size of its deviations, sorted by any column. Only a window of
// rows is in the document, as in the other tables. procData (built by
// loadProcData) and procDataMatch come with the data.
var detailComparisonSort = { col: null, asc: true };

function inputValue(id) {
    var input = document.getElementById(id);
    return input ? input.value : '';
}

function showFilterMessage(text) {
    var message = document.getElementById('filterMessage');
    if (message) message.textContent = text;
}

function filterPattern(id, label) {
    var text = inputValue(id);
    if (text === '') return null;
    try {
        return new RegExp(text);
    } catch (error) {
        showFilterMessage('Invalid regular expression in the ' + label + ' filter: ' + error.message);
        return null;
    }
}

// The largest deviation in percent of a matched row, over the page's metrics.
function largestRelDev(record) {
    var metrics = phaseComparisonMetrics[statisticsType] || [];
    var largest = 0;
    for (var m = 0; m < metrics.length; m++) {
        var value = Math.abs(Number(record[metrics[m].dev + 'RelDev']));
        if (value > largest) largest = value;
    }
    return largest;
}

function filterDataView() {
    showFilterMessage('');
    var phase = filterPattern('phasename', 'Phase');
    var grouping = filterPattern('groupingname', 'Grouping');
    var show = inputValue('matchkind') || 'all';
    var minRelDev = parseFloat(inputValue('minreldev'));
    if (inputValue('minreldev') !== '' && isNaN(minRelDev)) showFilterMessage('The deviation filter is not a number.');
    var rows = [];
    loadProcData();
    for (var i = 0; i < procData.length - numBlankData; i++) {
        var record = procData[i];
        var kind = matchKindOf(procDataMatch, i);
        if (show == 'both' && kind != 0) continue;
        if (show == 'lhs' && kind != 1) continue;
        if (show == 'rhs' && kind != 2) continue;
        if (show == 'unmatched' && kind == 0) continue;
        if (phase && !phase.test(record.Phase)) continue;
        if (grouping && !grouping.test(record.Grouping)) continue;
        if (!isNaN(minRelDev) && (kind != 0 || largestRelDev(record) < minRelDev)) continue;
        rows.push(i);
    }
    dataView['Index'] = rows;
}

function sortDataView() {
    if (!detailComparisonSort.col) return;
    dataView['Index'].sort(comparisonSortFunction(procData, procDataMatch, detailComparisonSort, function (index) {
        return String(procData[index].Phase).toLowerCase();
    }));
}

function modifyDataView() {
    filterDataView();
    sortDataView();
    numRows['Detail'] = dataView['Index'].length;
    dataViewCreated = true;
    generateFakeDivContents('Detail');
}

function userInputsAction() {
    lastStartIndex['Detail'] = 0;
    modifyDataView();
    renderDetailTable();
    return false;
}

function sortComparisonRows(col) {
    detailComparisonSort = nextSortInfo(detailComparisonSort, col);
    lastStartIndex['Detail'] = 0;
    modifyDataView();
    renderDetailTable();
}

function subjectText(record) {
    var parts = ['Grouping: ' + record.Grouping];
    var names = ['Model', 'Target', 'Machine', 'Chart'];
    for (var n = 0; n < names.length; n++) {
        if (record[names[n]] !== '' && record[names[n]] !== undefined) parts.push(names[n] + ': ' + record[names[n]]);
    }
    return parts.join(', ');
}

function createPhaseSummaryTable() {
    var metrics = phaseComparisonMetrics[statisticsType] || [];
    var prefix = 'cmpHeader_';
    var html = comparisonTableStart('phaseSummaryTable', 'phaseSummaryTableDiv', true, 4 * metrics.length);
    html += '<thead><tr id="phaseSummaryTableHeaderRow1">';
    html += '<th rowspan="2">' + sortLink(prefix, detailComparisonSort, 'Match', 'Match') + '</th>';
    html += '<th rowspan="2">' + sortLink(prefix, detailComparisonSort, 'Order', '#') + '</th>';
    html += '<th rowspan="2">' + sortLink(prefix, detailComparisonSort, 'Phase', 'Phase') + '</th>';
    html += comparisonHeaderGroups(metrics, false) + '</tr><tr id="phaseSummaryTableHeaderRow2">';
    return html + comparisonSubHeaders(prefix, detailComparisonSort, metrics, false) + '</tr></thead><tbody>';
}

function phaseDepth(phaseNumber) {
    var label = String(phaseNumber);
    return label === '' ? 0 : label.split('.').length - 1;
}

function generatePhaseSummaryTable(begin, end) {
    var metrics = phaseComparisonMetrics[statisticsType] || [];
    var html = createPhaseSummaryTable();
    var holder = document.getElementById('phaseSummaryTableDiv');
    var phaseWidth = Math.max((holder ? holder.clientWidth : 800) * 0.24, 260);
    for (var r = begin; r < end; r++) {
        var position = dataView['Index'][r];
        var record = procData[position];
        var kind = matchKindOf(procDataMatch, position);
        var cellClass = (r - begin) % 2 == 0 ? 'dataCellOdd' : 'dataCellEven';
        var depth = Math.min(phaseDepth(record.HTMLPhaseNum), 7);
        var shown = modifyStrToShow(PhaseLengths, record.Phase, phaseWidth - 10 - 25 * depth);
        html += '<tr class="' + (kind == 0 ? 'matchedRow' : 'unmatchedRow') + '">' + matchCell(kind, 'checkBoxTD' + (r - begin + 1));
        html += '<td class="dataCell ' + cellClass + '">' + (position + 1) + '</td>';
        html += '<td class="phaseNameCell' + depth + (record.GapRow == 1 ? ' gapCell' : '') + '" title="' +
            escapeHtml(record.Phase) + '"><span class="TableTextData">' + escapeHtml(shown) +
            '</span><br><span class="GroupingText">(' + escapeHtml(subjectText(record)) + ')</span></td>';
        for (var m = 0; m < metrics.length; m++) html += metricCells(record, metrics[m], kind, cellClass);
        html += '</tr>';
    }
    return html + '</tbody></table>';
}

function renderDetailTable() {
    var holder = document.getElementById('phaseSummaryTableDiv');
    if (!holder) return;
    if (!dataViewCreated) modifyDataView();
    renderWindowed('Detail', function () {
        var bounds = renderBounds('Detail');
        holder.innerHTML = generatePhaseSummaryTable(bounds[0], bounds[1]);
    });
    var count = document.getElementById('filterCount');
    if (count) count.textContent = numRows['Detail'] + ' of ' + (loadProcData().length - numBlankData) + ' rows';
}
