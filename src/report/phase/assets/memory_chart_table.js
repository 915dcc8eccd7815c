// The MemChart container, put in place while the page loads. The page
// declares memoryCanvasTableMarkup (the chart, or the message of a trace
// without detailed statistics) and memoryCanvasNoCanvasMarkup before this
// script; both are fixed markup.
var canvasSupport = false;

function insertMemoryCanvasTable(markup) {
    var anchor = document.getElementById('systemInfoTableDiv');
    if (anchor) {
        anchor.insertAdjacentHTML('afterend', markup);
    } else {
        document.body.insertAdjacentHTML('beforeend', markup);
    }
}

(function () {
    var test = document.createElement('canvas');
    test.id = 'canvasSupportTest';
    document.body.appendChild(test);
    canvasSupport = String(test) == '[object HTMLCanvasElement]' && typeof test.getContext == 'function';
    test.parentNode.removeChild(test);
    insertMemoryCanvasTable(canvasSupport ? memoryCanvasTableMarkup : memoryCanvasNoCanvasMarkup);
})();
