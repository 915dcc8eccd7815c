// The difference charts of a detailed-memory comparison: per aligned row, a
// ribbon of the LHS value, one of the RHS value and one of their difference
// (red where the RHS uses more, green where less), for the memory kind chosen
// above the charts. Only the rows in view are drawn; the scroll division
// beside the charts moves them. A click on a row pops up its statistics, the
// pointer over a row shows them as a tip.
var DIFFROWHEIGHT = 18;
var diffChartKinds = [['Committed', 'Com'], ['Reserved', 'Res'], ['Dlls', 'Dll'], ['NonProcess', 'OS'], ['Free', 'Free']];
var diffChartKind = 'Committed';
var diffChartFirstRow = 0;
var diffChartData = null;
var diffNamesWide = false;

// Rows present on one side only are drawn with 0 on the other.
function fillMissingPhaseData() {
    var rows = [];
    loadProcData();
    for (var i = 0; i < procData.length - numBlankData; i++) {
        var record = procData[i];
        var kind = matchKindOf(procDataMatch, i);
        var row = { index: i, kind: kind, name: String(record.Phase), values: {} };
        for (var k = 0; k < diffChartKinds.length; k++) {
            var col = diffChartKinds[k][0];
            var lhs = kind == 2 ? 0 : Number(record['LHS_' + col]);
            var rhs = kind == 1 ? 0 : Number(record['RHS_' + col]);
            row.values[col] = { lhs: lhs, rhs: rhs, abs: rhs - lhs,
                                rel: kind == 0 ? Number(record[col + 'RelDev']) : NaN };
        }
        rows.push(row);
    }
    diffChartData = rows;
}

function diffCanvas(id) {
    return document.getElementById(id);
}

function diffVisibleRows() {
    var canvas = diffCanvas('dataSet1CanvasDiff');
    return canvas ? Math.floor(canvas.height / DIFFROWHEIGHT) : 0;
}

function drawRibbons(canvas, rows, valueOf, colourOf, centred) {
    var context = canvas.getContext('2d');
    context.clearRect(0, 0, canvas.width, canvas.height);
    var largest = 0;
    for (var i = 0; i < diffChartData.length; i++) largest = Math.max(largest, Math.abs(valueOf(diffChartData[i])));
    if (!(largest > 0)) largest = 1;
    var origin = centred ? canvas.width / 2 : 0;
    var span = centred ? canvas.width / 2 - 2 : canvas.width - 2;
    context.strokeStyle = '#BCBCBC';
    for (var tick = 0; tick <= 4; tick++) {
        var x = Math.round(centred ? tick * canvas.width / 4 : tick * (canvas.width - 1) / 4) + 0.5;
        context.beginPath();
        context.moveTo(x, 0);
        context.lineTo(x, canvas.height);
        context.stroke();
    }
    for (var r = 0; r < rows.length; r++) {
        var value = valueOf(rows[r]);
        var width = Math.abs(value) / largest * span;
        context.fillStyle = colourOf(rows[r], value);
        context.fillRect(value < 0 ? origin - width : origin, r * DIFFROWHEIGHT + 3, width, DIFFROWHEIGHT - 6);
    }
    return largest;
}

function renderMemChart() {
    if (!diffChartData) fillMissingPhaseData();
    var visible = diffVisibleRows();
    var first = Math.max(Math.min(diffChartFirstRow, diffChartData.length - visible), 0);
    var rows = diffChartData.slice(first, first + visible);
    var names = diffCanvas('phaseNamesCanvasDiff');
    if (!names) return;
    names.width = diffNamesWide ? 480 : 240;
    var context = names.getContext('2d');
    context.clearRect(0, 0, names.width, names.height);
    context.font = '9pt Arial';
    context.textBaseline = 'middle';
    for (var r = 0; r < rows.length; r++) {
        context.fillStyle = rows[r].kind == 0 ? '#333333' : (rows[r].kind == 1 ? '#6B4500' : '#1F3F7A');
        var label = (rows[r].index + 1) + ' ' + rows[r].name + (rows[r].kind == 1 ? ' (LHS only)' : (rows[r].kind == 2 ? ' (RHS only)' : ''));
        context.fillText(label, 4, r * DIFFROWHEIGHT + DIFFROWHEIGHT / 2, names.width - 8);
    }
    var col = diffChartKind;
    var lhsLargest = drawRibbons(diffCanvas('dataSet1CanvasDiff'), rows, function (row) { return row.values[col].lhs; },
        function () { return '#6275A5'; }, false);
    var rhsLargest = drawRibbons(diffCanvas('dataSet2CanvasDiff'), rows, function (row) { return row.values[col].rhs; },
        function () { return '#92A4D2'; }, false);
    var absLargest = drawRibbons(diffCanvas('absDevCanvasDiff'), rows, function (row) { return row.values[col].abs; },
        function (row, value) { return value > 0 ? '#FF3C3C' : '#3CFF3C'; }, true);
    drawDiffLabels(lhsLargest, rhsLargest, absLargest, first, rows.length);
    var fake = diffCanvas('fakeCanvasDiff');
    if (fake) fake.style.height = (diffChartData.length * DIFFROWHEIGHT) + 'px';
}

function drawDiffLabels(lhsLargest, rhsLargest, absLargest, first, shown) {
    var labels = diffCanvas('graphLabelCanvasDiff');
    if (labels) {
        var context = labels.getContext('2d');
        context.clearRect(0, 0, labels.width, labels.height);
        context.font = 'bold 9pt Arial';
        context.fillStyle = '#324678';
        context.fillText(diffChartKind + ' (MB), rows ' + (first + 1) + ' to ' + (first + shown) + ' of ' +
            diffChartData.length + ';  scale: LHS ' + createScientificNotation(lhsLargest) + ', RHS ' +
            createScientificNotation(rhsLargest) + ', Abs Dev \u00B1' + createScientificNotation(absLargest), 4, 14);
    }
    var legend = diffCanvas('legendCanvasDiff');
    if (legend) {
        var context2 = legend.getContext('2d');
        context2.clearRect(0, 0, legend.width, legend.height);
        context2.font = '9pt Arial';
        var items = [['#6275A5', 'LHS: ' + lhsName], ['#92A4D2', 'RHS: ' + rhsName], ['#FF3C3C', 'RHS uses more'],
                     ['#3CFF3C', 'RHS uses less']];
        for (var i = 0; i < items.length; i++) {
            context2.fillStyle = items[i][0];
            context2.fillRect(4 + i * 220, 4, 12, 12);
            context2.fillStyle = '#333333';
            context2.fillText(items[i][1], 20 + i * 220, 14, 196);
        }
    }
}

function diffRowAt(event) {
    var rect = event.target.getBoundingClientRect();
    var r = Math.floor((event.clientY - rect.top) / DIFFROWHEIGHT);
    var visible = diffVisibleRows();
    var first = Math.max(Math.min(diffChartFirstRow, diffChartData.length - visible), 0);
    return diffChartData ? diffChartData[first + r] : undefined;
}

function diffRowText(row) {
    var lines = [(row.index + 1) + ' ' + row.name + (row.kind == 1 ? ' (LHS only)' : (row.kind == 2 ? ' (RHS only)' : ''))];
    for (var k = 0; k < diffChartKinds.length; k++) {
        var v = row.values[diffChartKinds[k][0]];
        lines.push(diffChartKinds[k][1] + ': LHS ' + createScientificNotation(v.lhs) + ', RHS ' + createScientificNotation(v.rhs) +
            ', Abs Dev ' + createScientificNotation(v.abs) + (isNaN(v.rel) ? '' : ', Rel Dev ' + v.rel.toFixed(2) + ' %'));
    }
    return lines.join('\n');
}

function showToolTip(event) {
    var tip = document.getElementById('diffToolTip');
    var row = diffRowAt(event);
    if (!tip) return;
    if (!row) {
        tip.style.display = 'none';
        return;
    }
    tip.textContent = diffRowText(row);
    tip.style.left = (event.pageX + 12) + 'px';
    tip.style.top = (event.pageY + 12) + 'px';
    tip.style.display = 'block';
}

function hideToolTip() {
    var tip = document.getElementById('diffToolTip');
    if (tip) tip.style.display = 'none';
}

function statsPopup(event) {
    var row = diffRowAt(event);
    var popup = document.getElementById('diffStatsPopup');
    if (!row || !popup) return;
    document.getElementById('diffStatsPopupText').textContent = diffRowText(row);
    popup.style.left = (event.pageX + 20) + 'px';
    popup.style.top = (event.pageY - 20) + 'px';
    popup.style.display = 'block';
}

function expandOrCollapse() {
    diffNamesWide = !diffNamesWide;
    renderMemChart();
}

function diffChartScrolled(div) {
    var visible = diffVisibleRows();
    var excess = diffChartData ? diffChartData.length - visible : 0;
    var range = div.scrollHeight - div.clientHeight;
    diffChartFirstRow = excess > 0 && range > 0 ? Math.round(excess * div.scrollTop / range) : 0;
    renderMemChart();
}

function chooseDiffChartKind(select) {
    diffChartKind = select.value;
    renderMemChart();
}
