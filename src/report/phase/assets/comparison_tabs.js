// Tab switching of the comparison pages. The tabs are the three metrics and
// System Info; the page compares one metric (statisticsType), whose tab holds
// the Aggregate view and, unless the page is aggregate-only, the Phases view.
// The flags pageAggregateOnly and pageComparison are declared by the page
// just before this script.
var activeTab = 'aggregateSummary';
var activeView = 'aggregateSummary';
var metricTabKeys = { 'time': 'time', 'basicmemory': 'basicMemory', 'detailedmemory': 'detailedMemory' };
var metricTabNames = { 'time': 'Time', 'basicMemory': 'Basic Mem', 'detailedMemory': 'Detailed Mem' };
var tabHeaderClassOf = { 'time': 'timeHeader', 'basicMemory': 'basicMemoryHeader',
                         'detailedMemory': 'detailedMemoryHeader', 'systemInfo': 'sysInfoHeader' };

// The body's mousemove handler; these pages have no popups to drag.
function dialogMove(event) {}

function pageMetricTab() {
    return metricTabKeys[statisticsType] || 'time';
}

function ShowTable(tableType) {
    if (tableType == 'aggregateSummary' || tableType == 'phaseSummary' || tableType == 'memCanvas') {
        activeView = pageAggregateOnly ? 'aggregateSummary' : tableType;
        tableType = pageMetricTab();
    }
    var blocks = ['comparisonViews', 'otherMetricDiv', 'aggregateSummaryDiv', 'aggregateSummaryScrollTableDiv',
                  'phaseSummaryDiv', 'userInputs', 'phaseSummaryScrollTableDiv', 'systemInfoTableDiv',
                  'diffMemChartDiv', 'diffToolTip', 'diffStatsPopup'];
    for (var i = 0; i < blocks.length; i++) setElementDisplay(blocks[i], 'none');
    for (var key in tabHeaderClassOf) SetHeaderVisibility(tabHeaderClassOf[key], 'none');
    SetHeaderVisibility(tabHeaderClassOf[tableType] || 'timeHeader', 'block');

    if (tableType == 'systemInfo') {
        activeTab = 'systemInfo';
        setElementDisplay('systemInfoTableDiv', 'block');
        var legends = { 'lhsLegend': 'LHS: ' + lhsName, 'rhsLegend': 'RHS: ' + rhsName };
        for (var id in legends) {
            var legend = document.getElementById(id);
            if (legend) legend.textContent = legends[id];
        }
        return;
    }
    if (tableType != pageMetricTab()) {
        activeTab = tableType;
        var other = setElementDisplay('otherMetricDiv', 'block');
        if (other) {
            other.textContent = 'This comparison was written for the metric "' + statisticsType + '" (tab ' +
                metricTabNames[pageMetricTab()] + '). Write it again with the metric "' +
                tableType.toLowerCase() + '" to compare ' + metricTabNames[tableType] + '.';
        }
        return;
    }
    activeTab = activeView;
    setElementDisplay('comparisonViews', 'block');
    var links = document.querySelectorAll('#comparisonViews a');
    for (var l = 0; l < links.length; l++) {
        links[l].className = links[l].id == 'viewLink_' + activeView ? 'currentView' : '';
    }
    if (activeView == 'memCanvas') {
        setElementDisplay('diffMemChartDiv', 'block');
        var test = document.getElementById('canvasSupportTest');
        if (test && test.getContext) {
            if (typeof renderMemChart == 'function') renderMemChart();
        } else {
            setElementDisplay('noSupport', 'block');
        }
    } else if (activeView == 'aggregateSummary') {
        setElementDisplay('aggregateSummaryDiv', 'block');
        setElementDisplay('aggregateSummaryScrollTableDiv', 'block');
        if (!aggDataViewCreated || resizeTabContent['Aggregate']) resizeTabContent['Aggregate'] = false;
        renderAggregateTable();
    } else {
        setElementDisplay('phaseSummaryDiv', 'block');
        setElementDisplay('userInputs', 'block');
        setElementDisplay('phaseSummaryScrollTableDiv', 'block');
        if (!dataViewCreated) modifyDataView(false);
        renderDetailTable();
    }
}
