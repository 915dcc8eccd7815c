// Tab switching. The flags pageNoCallTree, pageAggregateOnly, pageHasMemChart
// and pageComparison are declared by the page just before this script.
var activeTab = 'aggregateSummary';
var visibleOutlines = [];

function tabHeaderClasses() {
    var classes = ['aggregateSumHeader'];
    if (!pageNoCallTree && !pageAggregateOnly) classes.push('callTreeHeader');
    if (!pageAggregateOnly) classes.push('phaseSumHeader');
    if (pageHasMemChart) classes.push('memoryCanvasHeader');
    classes.push('sysInfoHeader');
    return classes;
}

// Popups of the memory chart are removed while their tab is hidden and put
// back when it is shown again.
function rememberVisibleOutlines() {
    visibleOutlines = [];
    for (var i = 0; i < 100; i++) {
        var ids = ['outlineDiv' + i, 'outlineDiv' + i + 'a'];
        for (var k = 0; k < ids.length; k++) {
            var outline = document.getElementById(ids[k]);
            if (outline && outline.style.display != 'none') {
                visibleOutlines.push(ids[k]);
                outline.style.display = 'none';
            }
        }
    }
}

function restoreVisibleOutlines() {
    for (var i = 0; i < visibleOutlines.length; i++) {
        setElementDisplay(visibleOutlines[i], 'block');
    }
}

// Popups are dragged by their header: its mousedown starts the drag and the
// body's mousemove handler moves the popup. Every page that may carry the
// handler defines it, whether or not it has popups.
var draggedDialog = null;

function startDialogDrag(event, dialog) {
    draggedDialog = { dialog: dialog, x: event.clientX, y: event.clientY,
                      left: parseFloat(dialog.style.left) || 0, top: parseFloat(dialog.style.top) || 0 };
    event.preventDefault();
}

function dialogMove(event) {
    if (!draggedDialog) return;
    if (event.buttons === 0) {
        draggedDialog = null;
        return;
    }
    draggedDialog.dialog.style.left = (draggedDialog.left + event.clientX - draggedDialog.x) + 'px';
    draggedDialog.dialog.style.top = (draggedDialog.top + event.clientY - draggedDialog.y) + 'px';
}

document.addEventListener('mouseup', function () { draggedDialog = null; });

function ShowTable(tableType) {
    var blocks = ['aggregateSummaryDiv', 'aggregateSummaryScrollTableDiv', 'systemInfoTableDiv'];
    if (!pageAggregateOnly) {
        blocks.push('phaseSummaryDiv', 'userInputs', 'phaseSummaryScrollTableDiv');
        if (!pageNoCallTree) blocks.push('callTreeSummaryDiv', 'CT_userInputs', 'callTreeSummaryScrollTableDiv');
    }
    var chart = pageHasMemChart ? document.getElementById('memoryCanvasTable') : null;
    if (chart && chart.style.display != 'none') rememberVisibleOutlines();
    if (chart) chart.style.display = 'none';
    for (var i = 0; i < blocks.length; i++) setElementDisplay(blocks[i], 'none');
    var headers = tabHeaderClasses();
    for (var h = 0; h < headers.length; h++) SetHeaderVisibility(headers[h], 'none');

    activeTab = tableType;
    if (tableType == 'aggregateSummary') {
        setElementDisplay('aggregateSummaryDiv', 'block');
        setElementDisplay('aggregateSummaryScrollTableDiv', 'block');
        SetHeaderVisibility('aggregateSumHeader', 'block');
        if (!aggDataViewCreated || resizeTabContent['Aggregate']) {
            resizeTabContent['Aggregate'] = false;
            renderAggregateTable();
        }
    } else if (tableType == 'systemInfo') {
        setElementDisplay('systemInfoTableDiv', 'block');
        SetHeaderVisibility('sysInfoHeader', 'block');
    } else if (tableType == 'phaseSummary') {
        setElementDisplay('phaseSummaryDiv', 'block');
        setElementDisplay('userInputs', 'block');
        setElementDisplay('phaseSummaryScrollTableDiv', 'block');
        SetHeaderVisibility('phaseSumHeader', 'block');
        if (typeof renderDetailTable == 'function') {
            if (!dataViewCreated) modifyDataView(false);
            renderDetailTable();
        }
    } else if (tableType == 'callTreeSummary') {
        setElementDisplay('callTreeSummaryDiv', 'block');
        setElementDisplay('CT_userInputs', 'block');
        setElementDisplay('callTreeSummaryScrollTableDiv', 'block');
        SetHeaderVisibility('callTreeHeader', 'block');
        if (typeof renderCTDetailTable == 'function') renderCTDetailTable();
    } else if (tableType == 'memCanvas') {
        SetHeaderVisibility('memoryCanvasHeader', 'block');
        if (chart) {
            chart.style.display = 'block';
            chart.style.height = pageComparison ? '4000px' : '400px';
            restoreVisibleOutlines();
            if (typeof renderMemChart == 'function') renderMemChart();
        } else {
            setElementDisplay('noSupport', 'block');
        }
    }
}
