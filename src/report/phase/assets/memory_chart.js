// The MemChart tab: one stacked column per report row showing how memory was
// split when the row's phase started. The page declares hasDetailedMemStats
// before this script; procData and the name arrays are read when the tab is
// first shown. Only the columns that fit the visible width are drawn, so a
// trace of any length costs the same per redraw.
var marginLeft = 90;
var marginTop = 80;
var defaultNumTicksY = 2;
var numTicksY = hasDetailedMemStats ? 11 : defaultNumTicksY;
var yTickLabelSpacing = 10;
var columnWidth = 23;
var tickLengthX = 5;
var tickLengthY = 5;
var boxSideLength = 10;
var eventLabelVertSpacing = 15;
var eventLabelRotate = 75;
var canvasDivHeight = 430;
var minWindowWidth = 916;
var tickLabelFontSize = 10;
var maxLabelHeight = 550;
var enlargeCanvasArea = 200;
var legendFont = '12px Sans-Serif';
var yLabelFont = '14pt Sans-Serif';
var eventLabelFont = '12px Sans-Serif';

var memChartZoomThreshold = 5000;
var memChartMaxPopups = 100;
var memChartAxisWidth = 110;
var memChartLegendHeight = 30;
var memChartScrollbarHeight = 20;

// Stacking order, bottom first.
var memChartSeries = [
    { field: 'NonProcessStart', color: '#666666', legend: 'Non-process' },
    { field: 'FreeStart', color: '#7AEE3C', legend: 'Free' },
    { field: 'DllsStart', color: '#FFA500', legend: 'Dlls' },
    { field: 'CommittedStart', color: '#EC0033', legend: 'Committed' },
    { field: 'ReservedStart', color: '#FFC8C8', legend: 'Reserved' }];
// Legend and popup order: Free, Reserved, Committed, Dlls, Non-process.
var memChartLegendOrder = [1, 4, 3, 2, 0];

var memChart = {
    model: null,
    labels: [],
    columnWidth: columnWidth,
    begin: 0,
    offset: 0,
    // The scrollbar position the drawn window stands for. The browser sends
    // the scroll event a frame after the position changes; until then the
    // canvas, begin and offset still show the previous window.
    drawnScrollLeft: 0,
    phasesToRender: 0,
    axisMax: 1,
    popups: [],
    popupOrder: []
};

function memChartNumber(value) {
    var number = Number(value);
    return isFinite(number) ? number : 0;
}

function memChartSum(values) {
    var sum = 0;
    for (var i = 0; i < values.length; i++) sum += values[i];
    return sum;
}

// The drawn parts of every column. Large address spaces would flatten
// everything but the kernel and free parts, so above the threshold the
// smallest of each of those two is taken off every column (and added back
// wherever values are shown); the scale then follows what is drawn.
function buildMemChartModel(rows) {
    var largest = 0;
    var least = [Infinity, Infinity];
    for (var r = 0; r < rows.length; r++) {
        var row = rows[r];
        var atEnd = memChartNumber(row.NonProcess) + memChartNumber(row.Reserved) + memChartNumber(row.Dlls) +
            memChartNumber(row.Committed) + memChartNumber(row.Free);
        var atStart = 0;
        for (var s = 0; s < memChartSeries.length; s++) atStart += memChartNumber(row[memChartSeries[s].field]);
        largest = Math.max(largest, atEnd, atStart);
        least[0] = Math.min(least[0], memChartNumber(row.NonProcessStart));
        least[1] = Math.min(least[1], memChartNumber(row.FreeStart));
    }
    var zoom = largest > memChartZoomThreshold;
    var less = [zoom ? least[0] : 0, zoom ? least[1] : 0, 0, 0, 0];
    var columns = [];
    var scaleMax = 0;
    for (var c = 0; c < rows.length; c++) {
        var parts = [];
        for (var k = 0; k < memChartSeries.length; k++) {
            parts.push(Math.max(memChartNumber(rows[c][memChartSeries[k].field]) - less[k], 0));
        }
        columns.push(parts);
        scaleMax = Math.max(scaleMax, memChartSum(parts));
    }
    return { columns: columns, zoom: zoom, less: less, scaleMax: scaleMax };
}

// A round axis top for the given number of intervals; an empty chart still
// gets an axis.
function memChartAxisMax(value, intervals) {
    if (!(value > 0)) return intervals;
    var raw = value / intervals;
    var power = Math.pow(10, Math.floor(Math.log10(raw)));
    var steps = [1, 2, 2.5, 5, 10];
    for (var i = 0; i < steps.length; i++) {
        if (steps[i] * power >= raw) return steps[i] * power * intervals;
    }
    return 10 * power * intervals;
}

// Columns stretch to fill the screen when there are few of them.
function memChartColumnWidth(numColumns, screenWidth) {
    var width = screenWidth > 0 ? screenWidth : 5000;
    if (numColumns <= 0) return columnWidth;
    return Math.max(columnWidth, Math.ceil(width / numColumns));
}

function memChartLabel(row) {
    var parts = [Phase[row.Phase] === undefined ? '' : String(Phase[row.Phase])];
    var named = [['Model', Model], ['Target', Target], ['Machine', Machine], ['Chart', Chart]];
    for (var i = 0; i < named.length; i++) {
        var number = row[named[i][0]];
        var texts = named[i][1];
        if (number >= 0 && texts && texts[number] !== undefined && texts[number] !== '') parts.push(String(texts[number]));
    }
    return parts.join('/');
}

function memChartRows() {
    var count = procData.length - (typeof numBlankData == 'number' ? numBlankData : 0);
    return procData.slice(0, Math.max(count, 0));
}

function prepareMemChart() {
    var rows = memChartRows();
    memChart.model = buildMemChartModel(rows);
    memChart.labels = rows.map(memChartLabel);
    var screenWidth = (window.screen && window.screen.width) ? window.screen.width : 0;
    memChart.columnWidth = memChartColumnWidth(rows.length, screenWidth);
    memChart.axisMax = memChartAxisMax(memChart.model.scaleMax, numTicksY - 1);
}

function memChartCanvasHeight() {
    return 400 + enlargeCanvasArea;
}

function memChartPlotTop() {
    return marginTop + enlargeCanvasArea;
}

function memChartPlotBottom() {
    return memChartCanvasHeight() - 2 * tickLengthX - 10;
}

function memChartValueY(value) {
    var height = memChartPlotBottom() - memChartPlotTop();
    return memChartPlotBottom() - value * height / memChart.axisMax;
}

function memChartVisibleWidth() {
    var width = Math.max(minWindowWidth, window.innerWidth - 60);
    return width - memChartAxisWidth;
}

function placeElement(id, left, top, width, height) {
    var element = document.getElementById(id);
    if (!element) return null;
    element.style.position = 'absolute';
    element.style.left = left + 'px';
    element.style.top = top + 'px';
    if (width !== null) element.style.width = width + 'px';
    if (height !== null) element.style.height = height + 'px';
    return element;
}

function layoutMemChart() {
    var visible = memChartVisibleWidth();
    var height = memChartCanvasHeight();
    var total = memChartAxisWidth + visible;
    var table = document.getElementById('memoryCanvasTable');
    if (table) table.style.width = (total + 2) + 'px';
    var holder = document.getElementById('canvasdiv');
    holder.style.position = 'relative';
    holder.style.width = total + 'px';
    holder.style.height = (canvasDivHeight + enlargeCanvasArea + memChartLegendHeight) + 'px';

    var legend = placeElement('legendCanvasDiv', memChartAxisWidth, 0, visible, memChartLegendHeight);
    legend.style.overflow = 'hidden';
    legend.style.pointerEvents = 'none';
    placeElement('lockedcanvasdiv', 0, memChartLegendHeight, memChartAxisWidth, height);
    var scroller = placeElement('scrollcanvasdiv', memChartAxisWidth, memChartLegendHeight, visible, height);
    scroller.style.overflow = 'hidden';
    var bar = placeElement('fakecanvasdiv', memChartAxisWidth, memChartLegendHeight + height, visible,
        memChartScrollbarHeight);
    bar.style.overflowX = 'scroll';
    bar.style.overflowY = 'hidden';
    placeElement('tableCanvasDiv', 0, 0, 0, 0).style.overflow = 'visible';

    var locked = document.getElementById('lockedcanvas');
    locked.width = memChartAxisWidth;
    locked.height = height;
    var canvas = document.getElementById('scrollcanvas');
    canvas.width = visible;
    canvas.height = height;
    // The scrollbar's extent is a style width: a canvas of that many pixels
    // would exceed what browsers allocate for long traces.
    document.getElementById('fakecanvas').style.width = (memChart.model.columns.length * memChart.columnWidth) + 'px';
    memChart.phasesToRender = Math.min(memChart.model.columns.length, Math.ceil(visible / memChart.columnWidth) + 1);
}

function drawMemChartLegend() {
    var canvas = document.getElementById('legendCanvas');
    canvas.width = memChartVisibleWidth();
    var context = canvas.getContext('2d');
    context.clearRect(0, 0, canvas.width, canvas.height);
    context.font = legendFont;
    context.textBaseline = 'middle';
    var x = 0;
    var y = memChartLegendHeight / 2;
    for (var i = 0; i < memChartLegendOrder.length; i++) {
        var series = memChartSeries[memChartLegendOrder[i]];
        context.fillStyle = series.color;
        context.fillRect(x, y - boxSideLength / 2, boxSideLength, boxSideLength);
        context.strokeStyle = '#333333';
        context.strokeRect(x + 0.5, y - boxSideLength / 2 + 0.5, boxSideLength - 1, boxSideLength - 1);
        context.fillStyle = '#333333';
        context.fillText(series.legend, x + boxSideLength + 5, y);
        x += boxSideLength + 5 + context.measureText(series.legend).width + 30;
    }
    if (memChart.model.zoom) {
        context.fillText('Zoomed: ' + createScientificNotation(memChart.model.less[0]) + ' MB of non-process and ' +
            createScientificNotation(memChart.model.less[1]) + ' MB of free memory are not drawn', x, y);
    }
}

function drawMemChartAxis() {
    var canvas = document.getElementById('lockedcanvas');
    var context = canvas.getContext('2d');
    context.clearRect(0, 0, canvas.width, canvas.height);
    var top = memChartPlotTop();
    var bottom = memChartPlotBottom();
    context.strokeStyle = '#333333';
    context.fillStyle = '#333333';
    context.beginPath();
    context.moveTo(marginLeft + 0.5, top);
    context.lineTo(marginLeft + 0.5, bottom + 0.5);
    context.lineTo(canvas.width, bottom + 0.5);
    context.font = tickLabelFontSize + 'px Sans-Serif';
    context.textAlign = 'right';
    context.textBaseline = 'middle';
    var intervals = numTicksY - 1;
    for (var t = 0; t <= intervals; t++) {
        var value = memChart.axisMax * t / intervals;
        var y = Math.round(memChartValueY(value)) + 0.5;
        context.moveTo(marginLeft - tickLengthY, y);
        context.lineTo(marginLeft, y);
        context.fillText(createScientificNotation(value), marginLeft - tickLengthY - yTickLabelSpacing, y);
    }
    context.stroke();
    context.save();
    context.font = yLabelFont;
    context.textAlign = 'center';
    context.textBaseline = 'top';
    context.translate(5, (top + bottom) / 2);
    context.rotate(-Math.PI / 2);
    context.fillText('Memory (MB)', 0, 0);
    context.restore();
}

// The label cut with an ellipsis so that it fits `room` pixels.
function memChartFitLabel(context, text, room) {
    if (context.measureText(text).width <= room) return text;
    var low = 0;
    var high = text.length;
    while (low < high) {
        var middle = Math.ceil((low + high) / 2);
        if (context.measureText(text.substring(0, middle) + '...').width <= room) low = middle;
        else high = middle - 1;
    }
    return text.substring(0, low) + '...';
}

function render(begin, end) {
    var canvas = document.getElementById('scrollcanvas');
    var context = canvas.getContext('2d');
    context.clearRect(0, 0, canvas.width, canvas.height);
    var top = memChartPlotTop();
    var bottom = memChartPlotBottom();
    var width = memChart.columnWidth;
    var barWidth = Math.max(Math.round(Math.min(width * 0.7, 60)), 4);
    var intervals = numTicksY - 1;

    context.strokeStyle = '#E3E3E3';
    context.beginPath();
    for (var t = 1; t <= intervals; t++) {
        var gridY = Math.round(memChartValueY(memChart.axisMax * t / intervals)) + 0.5;
        context.moveTo(0, gridY);
        context.lineTo(canvas.width, gridY);
    }
    context.stroke();

    var angle = eventLabelRotate * Math.PI / 180;
    var labelRoom = Math.min(maxLabelHeight, (top - eventLabelVertSpacing - 5) / Math.sin(angle));
    context.font = eventLabelFont;
    context.textBaseline = 'middle';
    context.strokeStyle = '#333333';
    context.beginPath();
    for (var i = begin; i < end; i++) {
        var left = (i - begin) * width - memChart.offset;
        var center = Math.round(left + width / 2);
        var parts = memChart.model.columns[i];
        var y = bottom;
        for (var k = 0; k < parts.length; k++) {
            var height = parts[k] * (bottom - top) / memChart.axisMax;
            if (height <= 0) continue;
            context.fillStyle = memChartSeries[k].color;
            context.fillRect(center - barWidth / 2, y - height, barWidth, height);
            y -= height;
        }
        context.moveTo(center + 0.5, bottom);
        context.lineTo(center + 0.5, bottom + tickLengthX);
        context.save();
        context.fillStyle = '#333333';
        context.translate(center, top - eventLabelVertSpacing);
        context.rotate(-angle);
        context.fillText(memChartFitLabel(context, memChart.labels[i], labelRoom), 0, 0);
        context.restore();
    }
    context.moveTo(0, bottom + 0.5);
    context.lineTo(canvas.width, bottom + 0.5);
    context.stroke();
    placeMemChartOutlines();
}

function swapCanvas(div) {
    if (!memChart.model) return;
    var scrolled = div ? div.scrollLeft : 0;
    var first = Math.floor(scrolled / memChart.columnWidth);
    memChart.begin = first;
    memChart.offset = scrolled - first * memChart.columnWidth;
    memChart.drawnScrollLeft = scrolled;
    render(first, Math.min(first + memChart.phasesToRender, memChart.model.columns.length));
}

function renderMemChart() {
    if (!document.getElementById('scrollcanvas')) {
        setElementDisplay('noSupport', 'block');
        return;
    }
    if (!memChart.model) prepareMemChart();
    layoutMemChart();
    drawMemChartLegend();
    drawMemChartAxis();
    swapCanvas(document.getElementById('fakecanvasdiv'));
}

function canvasResizeAction() {
    // Narrower windows keep the narrowest layout (see memChartVisibleWidth).
    if (memChart.model && document.getElementById('scrollcanvas')) renderMemChart();
}

// The column under a point of the scroll canvas, or the nearest one.
function memChartColumnAt(offsetX) {
    if (!memChart.model || memChart.model.columns.length == 0) return -1;
    var index = memChart.begin + Math.floor((offsetX + memChart.offset) / memChart.columnWidth);
    return Math.min(Math.max(index, 0), memChart.model.columns.length - 1);
}

function memChartToolTip() {
    var tip = document.getElementById('memChartToolTip');
    if (!tip) {
        tip = document.createElement('div');
        tip.id = 'memChartToolTip';
        tip.style.cssText = 'position:absolute;display:none;pointer-events:none;white-space:nowrap;z-index:20;' +
            'background:#FFFFE0;border:1px solid #333333;padding:2px 4px;font:12px Sans-Serif;';
        document.getElementById('canvasdiv').appendChild(tip);
    }
    return tip;
}

function showToolTip(event) {
    var index = memChartColumnAt(event.offsetX);
    var tip = memChartToolTip();
    if (index < 0) {
        tip.style.display = 'none';
        return;
    }
    tip.textContent = memChart.labels[index];
    tip.style.left = (memChartAxisWidth + event.offsetX + 12) + 'px';
    tip.style.top = (memChartLegendHeight + event.offsetY + 12) + 'px';
    tip.style.display = 'block';
}

function divMouseMove(event) {
    var canvas = document.getElementById('scrollcanvas');
    if (canvas) canvas.style.cursor = memChartColumnAt(event.offsetX) < 0 ? 'default' : 'pointer';
}

function divMouseOut(event) {
    var tip = document.getElementById('memChartToolTip');
    if (tip) tip.style.display = 'none';
}

function placeMemChartOutlines() {
    for (var i = 0; i < memChart.popups.length; i++) {
        var popup = memChart.popups[i];
        if (!popup) continue;
        var outline = document.getElementById('outlineDiv' + i);
        if (outline) outline.style.left = ((popup.column - memChart.begin) * memChart.columnWidth - memChart.offset) + 'px';
    }
}

function closeMemStatsPopup(slot) {
    var ids = ['outlineDiv' + slot, 'outlineDiv' + slot + 'a'];
    for (var i = 0; i < ids.length; i++) {
        var element = document.getElementById(ids[i]);
        if (element) element.parentNode.removeChild(element);
    }
    memChart.popups[slot] = null;
    memChart.popupOrder = memChart.popupOrder.filter(function (open) { return open != slot; });
}

// Slots are numbered below the number of outlines the tab switcher keeps;
// when all are taken the oldest popup makes room.
function freeMemStatsPopupSlot() {
    for (var i = 0; i < memChartMaxPopups; i++) {
        if (!memChart.popups[i]) return i;
    }
    var oldest = memChart.popupOrder[0];
    closeMemStatsPopup(oldest);
    return oldest;
}

function memStatsPopupElement(slot, column) {
    var popup = document.createElement('div');
    popup.id = 'outlineDiv' + slot + 'a';
    popup.className = 'memStatsPopup';
    popup.style.cssText = 'position:absolute;z-index:30;background:#FFFFFF;border:1px solid #324678;' +
        'min-width:180px;text-align:left;box-shadow:2px 2px 4px rgba(0,0,0,0.3);';
    var header = document.createElement('div');
    header.className = 'popupHeader';
    var close = document.createElement('span');
    close.className = 'memStatsPopupClose';
    close.textContent = '\u00D7';
    close.style.cssText = 'float:right;cursor:pointer;padding-left:8px;';
    close.onclick = function () { closeMemStatsPopup(slot); };
    var title = document.createElement('span');
    title.textContent = memChart.labels[column];
    header.appendChild(close);
    header.appendChild(title);
    header.onmousedown = function (event) { startDialogDrag(event, popup); };
    popup.appendChild(header);

    var table = document.createElement('table');
    table.className = 'memStatsPopupTable';
    var row = memChartRows()[column];
    for (var i = 0; i < memChartLegendOrder.length; i++) {
        var series = memChartSeries[memChartLegendOrder[i]];
        var line = table.insertRow(-1);
        var name = line.insertCell(-1);
        var box = document.createElement('span');
        box.style.cssText = 'display:inline-block;width:' + boxSideLength + 'px;height:' + boxSideLength +
            'px;margin-right:5px;border:1px solid #333333;background:' + series.color + ';';
        name.appendChild(box);
        name.appendChild(document.createTextNode(series.legend + ' (MB)'));
        var value = line.insertCell(-1);
        value.style.textAlign = 'right';
        value.textContent = createScientificNotation(memChartNumber(row[series.field]));
    }
    popup.appendChild(table);
    return popup;
}

function statsPopup(event) {
    var column = memChartColumnAt(event.offsetX);
    if (column < 0) return;
    for (var open = 0; open < memChart.popups.length; open++) {
        if (memChart.popups[open] && memChart.popups[open].column == column) closeMemStatsPopup(open);
    }
    var slot = freeMemStatsPopupSlot();
    var outline = document.createElement('div');
    outline.id = 'outlineDiv' + slot;
    outline.className = 'memStatsOutline';
    outline.style.cssText = 'position:absolute;top:0;box-sizing:border-box;pointer-events:none;' +
        'border:2px solid #324678;width:' + memChart.columnWidth + 'px;height:' + memChartCanvasHeight() + 'px;';
    document.getElementById('scrollcanvasdiv').appendChild(outline);

    var popup = memStatsPopupElement(slot, column);
    popup.style.top = (memChartLegendHeight + event.offsetY) + 'px';
    document.getElementById('tableCanvasDiv').appendChild(popup);
    // Beside the pointer, on the side where the popup stays inside the chart.
    var right = memChartAxisWidth + event.offsetX + 15;
    var fitsRight = right + popup.offsetWidth <= memChartAxisWidth + memChartVisibleWidth();
    popup.style.left = (fitsRight ? right : Math.max(right - 30 - popup.offsetWidth, 0)) + 'px';

    memChart.popups[slot] = { column: column };
    memChart.popupOrder.push(slot);
    placeMemChartOutlines();
}
