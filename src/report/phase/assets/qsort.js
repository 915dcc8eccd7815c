// Multi-column sort of procData positions. A key is the concatenation of the
// sort columns' keys in priority order: texts ascend, numbers are mapped so
// that larger values sort first, and equal keys keep their earlier position.
function sortKeyForNumber(value) {
    var key = String(parseInt(100000000 - value * 100, 10));
    while (key.length < 10) key = '0' + key;
    return key;
}

function sortKeyForPosition(position, sortCols) {
    var key = '';
    for (var c = 0; c < sortCols.length; c++) {
        var col = sortCols[c];
        if (col == 'Phase') {
            key += String(Phase[procData[position].Phase]).toLowerCase();
        } else if (col == 'ExecOrder') {
            // Padded so that exec order 10 follows 9.
            var order = String(position);
            while (order.length < 10) order = '0' + order;
            key += order;
        } else {
            key += sortKeyForNumber(procData[position][col]);
        }
    }
    return key;
}

function quicksortByKeys(arr, keys) {
    if (arr.length <= 1) return arr;
    var pivotAt = Math.floor(arr.length / 2);
    var pivot = arr[pivotAt];
    var pivotKey = keys[pivot];
    var less = [];
    var greater = [];
    for (var i = 0; i < arr.length; i++) {
        if (i == pivotAt) continue;
        var element = arr[i];
        var key = keys[element];
        if (key < pivotKey || (key == pivotKey && element < pivot)) {
            less.push(element);
        } else {
            greater.push(element);
        }
    }
    return quicksortByKeys(less, keys).concat([pivot], quicksortByKeys(greater, keys));
}

function quicksort(arr, sortCols) {
    // Keys are computed once per position rather than at every comparison.
    var keys = {};
    for (var i = 0; i < arr.length; i++) keys[arr[i]] = sortKeyForPosition(arr[i], sortCols);
    return quicksortByKeys(arr, keys);
}
