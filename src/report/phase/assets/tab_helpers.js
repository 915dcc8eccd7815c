// Helpers of both tab bars (the report's and the comparison's).
var screenH = (window.screen && window.screen.height) ? window.screen.height : 480;
var MINWINDOWWIDTH = 600;

function SetHeaderVisibility(headerClassName, visibilityStr) {
    var headers = document.getElementsByClassName(headerClassName);
    if (headers.length > 0) {
        headers[0].style.display = visibilityStr;
    }
}

function setElementDisplay(id, displayStr) {
    var element = document.getElementById(id);
    if (element) {
        element.style.display = displayStr;
    }
    return element;
}
