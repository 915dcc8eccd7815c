// The Aggregate tab: one row per phase with its count and its self time or
// memory figures; headers sort, a phase name opens its rows in Details.
// aggregateOnly is declared by the page before this script.
var aggColumns = {
    'time': { group: null, columns: [['WCElapsed', 'Wallclock Time (Secs)']] },
    'basicmemory': { group: 'Memory (MB)', columns: [['UsageDelta', 'Process Usage Delta'], ['UsagePeakDelta', 'Peak Usage Delta']] },
    'detailedmemory': { group: 'Memory (MB)', columns: [['Committed', 'Com'], ['Reserved', 'Res'], ['Dlls', 'Dll'], ['NonProcess', 'OS'], ['Free', 'Free']] }
};

function aggMetricColumns() {
    return aggColumns[statisticsType] || { group: null, columns: [] };
}

function createAggDataView() {
    aggDataView['Index'] = [];
    for (var i = 0; i < aggData.length; i++) {
        // A parent phase whose time all went to its children adds nothing here.
        if (aggData[i].IsParent == 1 && !(aggData[i].WCElapsed > 0) && aggData[i].WCElapsed !== undefined) continue;
        aggDataView['Index'].push(i);
    }
    numRows['Aggregate'] = aggDataView['Index'].length;
    aggDataViewCreated = true;
    generateFakeDivContents('Aggregate');
}

function aggSortLink(col, text) {
    return '<a id="aggHeader_' + col + '" href="javascript:void(0)" onclick="sortAggData(\'' + col + '\')">' + text + '</a>';
}

function createAggregateSummaryTable() {
    var metrics = aggMetricColumns();
    var span = metrics.group ? ' rowspan="2"' : '';
    var html = '<table id="aggregateSummaryTable" class="dataTable" cellpadding="0" cellspacing="0">';
    html += '<colgroup><col style="width:50%"><col style="width:10%">';
    for (var c = 0; c < metrics.columns.length; c++) html += '<col>';
    html += '</colgroup><thead><tr id="aggregateSummaryTableHeaderRow1">';
    html += '<th' + span + '>' + aggSortLink('Phase', 'Phase') + '</th><th' + span + '>' + aggSortLink('Count', 'Count') + '</th>';
    if (metrics.group) {
        html += '<th colspan="' + metrics.columns.length + '">' + metrics.group + '</th></tr><tr id="aggregateSummaryTableHeaderRow2">';
    }
    for (var m = 0; m < metrics.columns.length; m++) html += '<th>' + aggSortLink(metrics.columns[m][0], metrics.columns[m][1]) + '</th>';
    html += '</tr></thead><tbody>';
    return html;
}

function generateAggregateSummaryTable(begin, end) {
    var metrics = aggMetricColumns();
    var html = createAggregateSummaryTable();
    for (var r = begin; r < end; r++) {
        var index = aggDataView['Index'][r];
        var record = aggData[index];
        var cellClass = (r - begin) % 2 == 0 ? 'dataCellOdd' : 'dataCellEven';
        var name = escapeHtml(Phase[record.Phase]);
        var phaseCell = aggregateOnly ? name :
            '<a href="javascript:void(0)" onclick="openDetailTab(Phase[aggData[' + index + '].Phase])">' + name + '</a>';
        html += '<tr><td class="phaseNameCell ' + cellClass + '" title="' + name + '">' + phaseCell + '</td>';
        html += '<td class="aggDataCell ' + cellClass + '">' + record.Count + '</td>';
        for (var m = 0; m < metrics.columns.length; m++) {
            html += '<td class="aggDataCell ' + cellClass + '">' + createScientificNotation(record[metrics.columns[m][0]]) + '</td>';
        }
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

function aggSortKey(index, col) {
    return col == 'Phase' ? String(Phase[aggData[index].Phase]).toLowerCase() : aggData[index][col];
}

// A new column sorts ascending first; aggSortInfo['Asc'] says whether the
// next sort of the column reverses it.
function sortAggData(col) {
    if (aggSortInfo['Col'] != col) {
        aggSortInfo['Asc'] = false;
        aggSortInfo['Col'] = col;
    }
    if (!aggDataViewCreated) createAggDataView();
    aggDataView['Index'].sort(positionComparator(function (index) { return aggSortKey(index, col); }, !aggSortInfo['Asc']));
    aggSortInfo['Asc'] = !aggSortInfo['Asc'];
    renderAggregateTable();
}

function openDetailTab(phaseName) {
    if (aggregateOnly) return;
    if (aggSortInfo['Col'] != '') {
        var sortInput = document.getElementById('Sort_' + aggSortInfo['Col'].replace('PlusChild', '').replace('SC', 'Self'));
        if (sortInput) sortInput.value = '1';
    }
    document.getElementById('phasename').value = phaseName;
    lastStartIndex['Detail'] = 0;
    modifyDataView(false);
    for (var i = 0; i < dataView['Checked'].length; i++) dataView['Checked'][i] = true;
    dataView['AllChecked'] = true;
    ShowTable('phaseSummary');
}
