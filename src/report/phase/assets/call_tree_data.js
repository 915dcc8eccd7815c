        var isIE = navigator.userAgent.indexOf('MSIE') >= 0 || navigator.userAgent.indexOf('Trident/') >= 0;
        var CTDataView = new Array();
        CTDataView['Index'] = new Array();
        CTDataView['Checked'] = new Array();
        var nodeArray = new Array();
        function createNode(idx, parentIdx, ids, children) {
            var node = { index: idx, IDs: ids, Parent: parentIdx, children: children, show: idx == 0 };
            nodeArray[idx] = node;
            return node;
        }
        var callTreeArray = new Array();
        function linkCallTreeNodes(records) {
            for (var i = 0; i < records.length; i++) {
                var record = records[i];
                var node = createNode(i, record[0], record.slice(1), []);
                if (record[0] == i) callTreeArray.push(node);
                else nodeArray[record[0]].children.push(node);
            }
        }
        linkCallTreeNodes([%CALL_TREE_RECORDS%]);
        CTDataView.AllCTChecked = false;
