// The Call Tree tab: the rows as a tree of phases in which repeated identical
// subtrees are one node. A node lists the procData rows it stands for and
// shows their count and summed (or, for levels, largest) figures. Nodes
// expand and collapse, are filtered from the form above the table, and the
// checked ones are totalled. nodeArray, callTreeArray and CTDataView are
// declared by the data script; the helpers of the Details tab are reused.
var ctExpanded = [];       // node index -> its children are shown
var ctInView = null;       // null: every node; else node index -> kept by the filter
var ctDepth = [];          // node index -> nesting level
var ctPrepared = false;
// Per-node figures that add up over the node's rows; the others are levels
// and take the largest value.
var ctSummedColumns = { 'WCSelf': true, 'WCElapsed': true, 'CPUSelf': true, 'CPUElapsed': true,
                        'UsageDelta': true, 'UsagePeakDelta': true };

function prepareCallTree() {
    if (ctPrepared) return;
    ctPrepared = true;
    var stack = [];
    for (var r = callTreeArray.length - 1; r >= 0; r--) stack.push([callTreeArray[r], 0]);
    while (stack.length > 0) {
        var entry = stack.pop();
        ctDepth[entry[0].index] = entry[1];
        var children = entry[0].children;
        for (var c = children.length - 1; c >= 0; c--) stack.push([children[c], entry[1] + 1]);
    }
    CTDataView['Checked'] = new Array(nodeArray.length).fill(false);
}

function ctVisibleChildren(node) {
    if (ctInView === null) return node.children;
    return node.children.filter(function (child) { return ctInView[child.index] === true; });
}

// Shown nodes in document order: the kept roots, and below every expanded
// node its kept children.
function buildCTIndex() {
    var index = [];
    var stack = [];
    var roots = ctInView === null ? callTreeArray :
        callTreeArray.filter(function (root) { return ctInView[root.index] === true; });
    for (var r = roots.length - 1; r >= 0; r--) stack.push(roots[r]);
    while (stack.length > 0) {
        var node = stack.pop();
        index.push(node.index);
        if (!ctExpanded[node.index]) continue;
        var children = ctVisibleChildren(node);
        for (var c = children.length - 1; c >= 0; c--) stack.push(children[c]);
    }
    CTDataView['Index'] = index;
    numRows['CallTree'] = index.length;
}

function resetCTChecks() {
    CTDataView['Checked'] = new Array(nodeArray.length).fill(false);
    CTDataView.AllCTChecked = false;
}

function createCTDataView() {
    prepareCallTree();
    ctInView = null;
    ctExpanded = [];
    resetCTChecks();
    buildCTIndex();
    ctDataViewCreated = true;
    generateFakeDivContents('CallTree');
}

function refreshCallTree() {
    buildCTIndex();
    renderCTDetailTable();
}

function showCallTreeChildren(idx) {
    ctExpanded[idx] = true;
    refreshCallTree();
}

function hideCallTreeChildren(idx) {
    ctExpanded[idx] = false;
    refreshCallTree();
}

function toggleCallTreeChildren(idx) {
    if (ctExpanded[idx]) hideCallTreeChildren(idx);
    else showCallTreeChildren(idx);
}

function showCTFilterMessage(text) {
    var message = document.getElementById('CT_filterMessage');
    if (message) message.textContent = text;
}

// Without regular expressions a name matches itself and the "_self" gap rows
// of its phase.
function ctTextMatches(text, filter) {
    if (text === undefined || text === '') return true;
    if (filter.pattern) {
        if (filter.pattern.test(text)) return true;
        return filter.pattern.test('_self') && /_post$/.test(text);
    }
    return text == filter.text || text.indexOf(filter.text + '_self') >= 0;
}

function ctNodeMatches(node, filters) {
    var row = procData[node.IDs[0]];
    for (var f = 0; f < filters.length; f++) {
        var number = row[filters[f].field];
        if (number < 0) continue;
        if (!ctTextMatches(textArrays[filters[f].field]()[number], filters[f])) return false;
    }
    return true;
}

function activeCTFilters(useRegExp) {
    var filters = [];
    var inputs = parseInputs('CallTree').filters;
    showCTFilterMessage('');
    for (var i = 0; i < inputs.length; i++) {
        if (inputs[i].text === '') continue;
        var filter = { field: inputs[i].field, text: inputs[i].text, pattern: null };
        if (useRegExp) {
            try {
                filter.pattern = new RegExp(inputs[i].text);
            } catch (error) {
                showCTFilterMessage('Invalid regular expression in the ' + inputs[i].field + ' filter: ' + error.message);
                continue;
            }
        }
        filters.push(filter);
    }
    return filters;
}

// Marks the nodes the filter keeps: a match, or an ancestor of one, which is
// expanded so that the matches below it are shown. Children are visited
// before their parent from a stack of its own: a deep tree would exhaust the
// script's call stack.
function markCTMatches(root, filters) {
    var keptBelow = [];  // node index -> a kept node is beneath it
    var stack = [[root, 0]];
    while (stack.length > 0) {
        var top = stack[stack.length - 1];
        var node = top[0];
        if (top[1] < node.children.length) {
            stack.push([node.children[top[1]++], 0]);
            continue;
        }
        stack.pop();
        var below = keptBelow[node.index] === true;
        ctExpanded[node.index] = below;
        if (below || ctNodeMatches(node, filters)) {
            ctInView[node.index] = true;
            if (stack.length > 0) keptBelow[stack[stack.length - 1][0].index] = true;
        }
    }
}

function modifyCTDataView(useRegExp) {
    prepareCallTree();
    var filters = activeCTFilters(useRegExp);
    ctExpanded = [];
    if (filters.length == 0) {
        ctInView = null;
    } else {
        ctInView = [];
        for (var r = 0; r < callTreeArray.length; r++) markCTMatches(callTreeArray[r], filters);
    }
    resetCTChecks();
    buildCTIndex();
    ctDataViewCreated = true;
    generateFakeDivContents('CallTree');
}

function ctUserInputsAction() {
    toggleSection('CT_FilterExpandCollapse', 'CT_FilterData', false);
    lastStartIndex['CallTree'] = 0;
    modifyCTDataView(true);
    renderCTDetailTable();
    return false;
}

function openCallTreeTab(phaseName) {
    document.getElementById('CT_phasename').value = phaseName;
    lastStartIndex['CallTree'] = 0;
    modifyCTDataView(false);
    ShowTable('callTreeSummary');
}

function ctNodeFigures(node, columns) {
    var figures = {};
    for (var c = 0; c < columns.length; c++) figures[columns[c].col] = 0;
    for (var i = 0; i < node.IDs.length; i++) {
        var row = procData[node.IDs[i]];
        for (var k = 0; k < columns.length; k++) {
            var col = columns[k].col;
            var value = Number(row[col]);
            figures[col] = ctSummedColumns[col] ? figures[col] + value : Math.max(figures[col], value);
        }
    }
    return figures;
}

function createCallTreeTable() {
    var metrics = detailMetricColumns();
    var html = '<table id="callTreeSummaryTable" class="dataTable" cellpadding="0" cellspacing="0">';
    html += '<colgroup><col style="width:50px"><col style="width:40%"><col style="width:6%">' +
        '<col style="width:14%"><col style="width:6%">';
    for (var c = 0; c < metrics.columns.length; c++) html += '<col>';
    html += '</colgroup><thead><tr id="callTreeSummaryTableHeaderRow1">';
    html += '<th rowspan="2"><input type="checkbox" id="CT_AllChecked" onclick="updateCTDataViewChecked(this, 999999)"' +
        (CTDataView.AllCTChecked ? ' checked' : '') + '></th>';
    html += '<th rowspan="2">Phase</th><th rowspan="2">Count</th><th colspan="2">Calvoran</th>';
    if (metrics.group) html += '<th colspan="' + metrics.columns.length + '">' + metrics.group + '</th>';
    html += '</tr><tr id="callTreeSummaryTableHeaderRow2"><th>Model</th><th>Target</th>';
    for (var m = 0; m < metrics.columns.length; m++) html += '<th>' + metrics.columns[m].title + '</th>';
    html += '</tr><tr id="callTreeSummaryTableTotalsRow"><td class="totalsCell" id="CT_totalChecked"></td>' +
        '<td class="totalsCell" id="CT_aggregateTD" style="text-align:left"></td>' +
        '<td class="totalsCell" id="CT_totalRows"></td><td class="totalsCell blankTotalsCell" colspan="2"></td>';
    for (var t = 0; t < metrics.columns.length; t++) {
        var total = metrics.columns[t].total;
        html += total ? '<td class="totalsCell" id="CT_' + total + '"></td>' : '<td class="totalsCell blankTotalsCell"></td>';
    }
    return html + '</tr></thead><tbody>';
}

function createCallTreeTableDataRows(begin, end) {
    var metrics = detailMetricColumns();
    var html = createCallTreeTable();
    var holder = document.getElementById('callTreeSummaryTableDiv');
    var phaseWidth = (holder ? holder.clientWidth : 800) * 0.4;
    // Deeper rows keep the deepest indentation that leaves room for a name.
    var maxIndent = Math.max(Math.floor((phaseWidth - 145) / 25), 0);
    for (var r = begin; r < end; r++) {
        var idx = CTDataView['Index'][r];
        var node = nodeArray[idx];
        var row = procData[node.IDs[0]];
        var indent = Math.min(ctDepth[idx], maxIndent);
        var cellClass = (r - begin) % 2 == 0 ? 'dataCellOdd' : 'dataCellEven';
        var phaseText = Phase[row.Phase] === undefined ? '' : Phase[row.Phase];
        var shown = modifyStrToShow(PhaseLengths, phaseText, phaseWidth - 45 - 25 * indent);
        var expander = ctVisibleChildren(node).length == 0 ? '<span class="PlusMinusSpacer">' + ExpandStr[0] + '</span>' :
            '<a class="PlusMinusSpacer" id="ctExpand' + idx + '" href="javascript:void(0)" onclick="toggleCallTreeChildren(' +
            idx + ')">' + ExpandStr[ctExpanded[idx] ? 2 : 1] + '</a>';
        html += '<tr><td class="checkboxCell ' + cellClass + '" id="ct_checkBoxTD' + (r - begin + 1) + '">' +
            '<input type="checkbox" id="ctCheckBox' + idx + '" onclick="updateCTDataViewChecked(this, ' + idx + ')"' +
            (CTDataView['Checked'][idx] ? ' checked' : '') + '></td>';
        html += '<td class="phaseNameCell' + indent + (row.GapRow == 1 ? ' gapCell' : '') + '" title="' + escapeHtml(phaseText) + '">' +
            expander + ' <span class="TableTextData">' + escapeHtml(shown) + '</span><br><span class="GroupingText">(Grouping:' +
            escapeHtml(Grouping[row.Grouping] === undefined ? '' : Grouping[row.Grouping]) + ')</span></td>';
        html += '<td class="dataCell ' + cellClass + '">' + node.IDs.length + '</td>';
        html += nameCell(Model, row.Model, cellClass) + nameCell(Target, row.Target, cellClass);
        var figures = ctNodeFigures(node, metrics.columns);
        for (var m = 0; m < metrics.columns.length; m++) {
            html += '<td class="dataCell ' + cellClass + '">' + createScientificNotation(figures[metrics.columns[m].col]) + '</td>';
        }
        html += '</tr>';
    }
    return html + '</tbody></table>';
}

function renderCTDetailTable() {
    var holder = document.getElementById('callTreeSummaryTableDiv');
    if (!holder) return;
    if (!ctDataViewCreated) createCTDataView();
    renderWindowed('CallTree', function () {
        var bounds = renderBounds('CallTree');
        holder.innerHTML = createCallTreeTableDataRows(bounds[0], bounds[1]);
    });
    updateCTTotals();
}

function updateCTDataViewChecked(checkbox, index) {
    if (index == 999999) {
        CTDataView.AllCTChecked = checkbox.checked;
        for (var i = 0; i < CTDataView['Index'].length; i++) CTDataView['Checked'][CTDataView['Index'][i]] = checkbox.checked;
        var bounds = renderBounds('CallTree');
        for (var r = bounds[0]; r < bounds[1]; r++) {
            var box = document.getElementById('ctCheckBox' + CTDataView['Index'][r]);
            if (box) box.checked = checkbox.checked;
        }
    } else {
        CTDataView['Checked'][index] = checkbox.checked;
        if (!checkbox.checked) {
            CTDataView.AllCTChecked = false;
            var all = document.getElementById('CT_AllChecked');
            if (all) all.checked = false;
        }
    }
    updateCTTotals();
}

// Totals of the shown nodes that are checked, over every row they stand for.
function updateCTTotals() {
    var metrics = detailMetricColumns();
    var totals = {};
    var nodes = 0;
    var rows = 0;
    for (var m = 0; m < metrics.columns.length; m++) totals[metrics.columns[m].col] = 0;
    for (var r = 0; r < CTDataView['Index'].length; r++) {
        var idx = CTDataView['Index'][r];
        if (!CTDataView['Checked'][idx]) continue;
        nodes++;
        var node = nodeArray[idx];
        rows += node.IDs.length;
        for (var i = 0; i < node.IDs.length; i++) {
            var row = procData[node.IDs[i]];
            for (var c = 0; c < metrics.columns.length; c++) {
                var column = metrics.columns[c];
                var value = Number(row[column.col]);
                totals[column.col] = column.sum ? totals[column.col] + value : Math.max(totals[column.col], value);
            }
        }
    }
    var setText = function (id, text) {
        var cell = document.getElementById(id);
        if (cell) cell.textContent = text;
    };
    setText('CT_totalChecked', nodes.toFixed(0));
    setText('CT_totalRows', rows.toFixed(0));
    setText('CT_aggregateTD', 'Aggregate (N = ' + CTDataView['Index'].length + ')');
    for (var t = 0; t < metrics.columns.length; t++) {
        if (metrics.columns[t].total) setText('CT_' + metrics.columns[t].total, createScientificNotation(totals[metrics.columns[t].col]));
    }
}
