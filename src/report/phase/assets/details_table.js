// The Details tab: every row of the trace in execution order, filtered and
// sorted from the form above it, with check boxes and totals of the checked rows.
var detailMetrics = {
    'time': { group: 'Wallclock Time (Secs)', columns: [
        { col: 'WCSelf', title: 'Self', total: 'totalSelfTime', sum: true },
        { col: 'WCElapsed', title: 'Self + Child', total: null }] },
    'basicmemory': { group: 'Memory (MB)', columns: [
        { col: 'UsageDelta', title: 'Process Usage Delta', total: 'totalDelta', sum: true },
        { col: 'Usage', title: 'Process Usage', total: 'totalUsage', sum: false },
        { col: 'UsagePeakDelta', title: 'Peak Usage Delta', total: 'totalPeakDelta', sum: true },
        { col: 'UsagePeak', title: 'Peak Usage', total: 'totalPeak', sum: false }] },
    'detailedmemory': { group: 'Memory (MB)', columns: [
        { col: 'Committed', title: 'Com', total: 'totalCom', sum: false },
        { col: 'Reserved', title: 'Res', total: 'totalRes', sum: false },
        { col: 'Dlls', title: 'Dll', total: 'totalDll', sum: false },
        { col: 'NonProcess', title: 'OS', total: 'totalOS', sum: false },
        { col: 'Free', title: 'Free', total: 'totalFree', sum: false }] }
};

var filterInputs = [['phasename', 'Phase'], ['groupingname', 'Grouping'], ['modelname', 'Model'],
                    ['targetname', 'Target'], ['machinename', 'Machine'], ['chartname', 'Chart']];
var ctFilterInputs = [['CT_phasename', 'Phase'], ['CT_groupingname', 'Grouping'], ['CT_modelname', 'Model'],
                      ['CT_targetname', 'Target']];
var sortInputColumns = {
    'Sort_phasename': 'Phase', 'Sort_modelname': 'Model', 'Sort_targetname': 'Target',
    'Sort_machinename': 'Machine', 'Sort_chartname': 'Chart', 'Sort_execorder': 'ExecOrder',
    'Sort_self': 'WCSelf', 'Sort_selfPchild': 'WCElapsed', 'Sort_UsageDelta': 'UsageDelta', 'Sort_Usage': 'Usage',
    'Sort_UsagePeakDelta': 'UsagePeakDelta', 'Sort_UsagePeak': 'UsagePeak', 'Sort_Committed': 'Committed',
    'Sort_Reserved': 'Reserved', 'Sort_Dlls': 'Dlls', 'Sort_NonProcess': 'NonProcess', 'Sort_Free': 'Free'
};
var textArrays = { 'Phase': function () { return Phase; }, 'Grouping': function () { return Grouping; },
                   'Model': function () { return Model; }, 'Target': function () { return Target; },
                   'Machine': function () { return Machine; }, 'Chart': function () { return Chart; } };

function detailMetricColumns() {
    return detailMetrics[statisticsType] || { group: null, columns: [] };
}

function inputValue(id) {
    var input = document.getElementById(id);
    return input ? input.value : '';
}

function parseInputs(viewType) {
    var inputs = viewType == 'Detail' ? filterInputs : ctFilterInputs;
    var filters = [];
    for (var i = 0; i < inputs.length; i++) filters.push({ field: inputs[i][1], text: inputValue(inputs[i][0]) });
    var sort = [];
    if (viewType == 'Detail') {
        for (var id in sortInputColumns) {
            var priority = parseInt(inputValue(id), 10);
            if (!isNaN(priority)) sort.push({ col: sortInputColumns[id], priority: priority });
        }
        sort.sort(function (a, b) { return a.priority - b.priority; });
    }
    return { filters: filters, sort: sort };
}

function showFilterMessage(text) {
    var message = document.getElementById('filterMessage');
    if (message) message.textContent = text;
}

function textMatches(text, filter, pattern) {
    if (text === undefined || text === '') return true;
    if (pattern) {
        if (pattern.test(text)) return true;
        return pattern.test('_self') && text.indexOf('_post') >= 0;
    }
    if (text == filter) return true;
    return filter.indexOf('_self') >= 0 && text.indexOf('_post') >= 0;
}

function filterDataView(filters, useRegExp) {
    var rows = [];
    for (var i = 0; i < procData.length - numBlankData; i++) rows.push(i);
    showFilterMessage('');
    for (var f = 0; f < filters.length; f++) {
        var filter = filters[f];
        if (filter.text === '' || filter.field == 'unique') continue;
        var pattern = null;
        if (useRegExp) {
            try {
                pattern = new RegExp(filter.text);
            } catch (error) {
                showFilterMessage('Invalid regular expression in the ' + filter.field + ' filter: ' + error.message);
                continue;
            }
        }
        var texts = textArrays[filter.field]();
        rows = rows.filter(function (position) {
            var number = procData[position][filter.field];
            return number < 0 || textMatches(texts[number], filter.text, pattern);
        });
    }
    dataView['Index'] = rows;
    dataView['Checked'] = new Array(rows.length).fill(false);
    dataView['AllChecked'] = false;
}

function sortDataView(sortParams) {
    if (sortParams.length == 0) return;
    var columns = sortParams.map(function (param) { return param.col; });
    dataView['Index'] = quicksort(dataView['Index'], columns);
}

function modifyDataView(useRegExp) {
    var inputs = parseInputs('Detail');
    filterDataView(inputs.filters, useRegExp);
    sortDataView(inputs.sort);
    numRows['Detail'] = dataView['Index'].length;
    dataViewCreated = true;
    generateFakeDivContents('Detail');
}

function toggleSection(toggleId, blockId, show) {
    var block = document.getElementById(blockId);
    if (!block) return;
    var visible = show === undefined ? block.style.display == 'none' : show;
    block.style.display = visible ? '' : 'none';
    var toggle = document.getElementById(toggleId);
    if (toggle) toggle.textContent = visible ? '[-]' : '[+]';
}

function userInputsAction() {
    toggleSection('FilterExpandCollapse', 'FilterData', false);
    toggleSection('SortExpandCollapse', 'SortData', false);
    lastStartIndex['Detail'] = 0;
    modifyDataView(true);
    renderDetailTable();
    return false;
}

function nameCell(texts, number, cellClass) {
    if (number < 0) return '<td class="dataCell ' + cellClass + '">&nbsp;</td>';
    var text = escapeHtml(texts[number]);
    return '<td class="dataCell ' + cellClass + '" style="text-align:left" title="' + text + '">' + text + '</td>';
}

function createPhaseSummaryTable() {
    var metrics = detailMetricColumns();
    var html = '<table id="phaseSummaryTable" class="dataTable" cellpadding="0" cellspacing="0">';
    html += '<colgroup><col style="width:50px"><col style="width:34%"><col><col><col><col><col style="width:6%">';
    for (var c = 0; c < metrics.columns.length; c++) html += '<col>';
    html += '</colgroup><thead><tr id="phaseSummaryTableHeaderRow1">';
    html += '<th rowspan="2"><input type="checkbox" id="AllChecked" onclick="updateDataViewChecked(this, 999999)"' +
        (dataView['AllChecked'] ? ' checked' : '') + '></th>';
    html += '<th rowspan="2">Phase</th><th colspan="2">Calvoran</th><th colspan="2">Quorindel</th><th rowspan="2">Exec Order</th>';
    if (metrics.group) html += '<th colspan="' + metrics.columns.length + '">' + metrics.group + '</th>';
    html += '</tr><tr id="phaseSummaryTableHeaderRow2"><th>Model</th><th>Target</th><th>Machine</th><th>Chart</th>';
    for (var m = 0; m < metrics.columns.length; m++) html += '<th>' + metrics.columns[m].title + '</th>';
    html += '</tr><tr id="phaseSummaryTableTotalsRow"><td class="totalsCell" id="totalChecked"></td>' +
        '<td class="totalsCell" colspan="6" style="text-align:left">Totals of the checked rows</td>';
    for (var t = 0; t < metrics.columns.length; t++) {
        var total = metrics.columns[t].total;
        html += total ? '<td class="totalsCell" id="' + total + '"></td>' : '<td class="totalsCell blankTotalsCell"></td>';
    }
    return html + '</tr></thead><tbody>';
}

function phaseDepth(phaseNumber) {
    return String(phaseNumber).split('.').length - 1;
}

function generatePhaseSummaryTable(begin, end) {
    var metrics = detailMetricColumns();
    var html = createPhaseSummaryTable();
    var holder = document.getElementById('phaseSummaryTableDiv');
    var phaseWidth = (holder ? holder.clientWidth : 800) * 0.34;
    for (var r = begin; r < end; r++) {
        var position = dataView['Index'][r];
        var row = procData[position];
        var cellClass = (r - begin) % 2 == 0 ? 'dataCellOdd' : 'dataCellEven';
        var depth = phaseDepth(row.HTMLPhaseNum);
        var phaseText = Phase[row.Phase];
        var shown = modifyStrToShow(PhaseLengths, phaseText, phaseWidth - 10 - 25 * depth);
        html += '<tr><td class="checkboxCell ' + cellClass + '" id="checkBoxTD' + (r - begin + 1) + '">' +
            '<input type="checkbox" id="checkBox' + r + '" onclick="updateDataViewChecked(this, ' + r + ')"' +
            (dataView['Checked'][r] ? ' checked' : '') + '></td>';
        html += '<td class="phaseNameCell' + depth + (row.GapRow == 1 ? ' gapCell' : '') + '" title="' + escapeHtml(phaseText) + '">' +
            '<span class="TableTextData">' + escapeHtml(shown) + '</span><br><span class="GroupingText">(Grouping:' +
            escapeHtml(Grouping[row.Grouping] === undefined ? '' : Grouping[row.Grouping]) + ')</span></td>';
        html += nameCell(Model, row.Model, cellClass) + nameCell(Target, row.Target, cellClass) +
            nameCell(Machine, row.Machine, cellClass) + nameCell(Chart, row.Chart, cellClass);
        html += '<td class="dataCell ' + cellClass + '">' + (position + 1) + '</td>';
        for (var m = 0; m < metrics.columns.length; m++) {
            html += '<td class="dataCell ' + cellClass + '">' + createScientificNotation(row[metrics.columns[m].col]) + '</td>';
        }
        html += '</tr>';
    }
    return html + '</tbody></table>';
}

function renderDetailTable() {
    var holder = document.getElementById('phaseSummaryTableDiv');
    if (!holder) return;
    if (!dataViewCreated) modifyDataView(false);
    renderWindowed('Detail', function () {
        var bounds = renderBounds('Detail');
        holder.innerHTML = generatePhaseSummaryTable(bounds[0], bounds[1]);
    });
    updateTotals();
}

function updateDataViewChecked(checkbox, index) {
    if (index == 999999) {
        dataView['AllChecked'] = checkbox.checked;
        for (var i = 0; i < dataView['Checked'].length; i++) dataView['Checked'][i] = checkbox.checked;
        var bounds = renderBounds('Detail');
        for (var r = bounds[0]; r < bounds[1]; r++) {
            var box = document.getElementById('checkBox' + r);
            if (box) box.checked = checkbox.checked;
        }
    } else {
        dataView['Checked'][index] = checkbox.checked;
        if (!checkbox.checked) {
            dataView['AllChecked'] = false;
            var all = document.getElementById('AllChecked');
            if (all) all.checked = false;
        }
    }
    updateTotals();
}

function updateTotals() {
    var metrics = detailMetricColumns();
    var totals = {};
    var checked = 0;
    for (var m = 0; m < metrics.columns.length; m++) totals[metrics.columns[m].col] = 0;
    for (var r = 0; r < dataView['Index'].length; r++) {
        if (!dataView['Checked'][r]) continue;
        checked++;
        var row = procData[dataView['Index'][r]];
        for (var c = 0; c < metrics.columns.length; c++) {
            var column = metrics.columns[c];
            var value = Number(row[column.col]);
            totals[column.col] = column.sum ? totals[column.col] + value : Math.max(totals[column.col], value);
        }
    }
    var count = document.getElementById('totalChecked');
    if (count) count.textContent = checked.toFixed(0);
    for (var t = 0; t < metrics.columns.length; t++) {
        var cell = metrics.columns[t].total ? document.getElementById(metrics.columns[t].total) : null;
        if (cell) cell.textContent = createScientificNotation(totals[metrics.columns[t].col]);
    }
}
