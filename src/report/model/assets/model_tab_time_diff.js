// Totals of the checked items on both sides for the title bar.
function dealWithTabTime(items) {
  let lhs = 0;
  let rhs = 0;
  for (const item of items) {
    lhs += item.lhsData;
    rhs += item.rhsData;
  }
  return (lhsLabel || 'LHS') + ': ' + fixed2(lhs) + ' ' + compareUnit + ', ' + (rhsLabel || 'RHS') + ': ' +
         fixed2(rhs) + ' ' + compareUnit + ', Abs Diff: ' + fixed2(rhs - lhs) + ' ' + compareUnit +
         ', Rel Diff: ' + fixed2(relativeDifference(lhs, rhs)) + ' %';
}
