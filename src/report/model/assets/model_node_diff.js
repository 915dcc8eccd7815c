// The relative difference in percent: against the LHS value when it is not
// about zero; otherwise 0 for no change and 100 for a change, -100 when the
// change is a drop (a faster RHS never reads as slower).
function relativeDifference(lhs, rhs) {
  const abs = rhs - lhs;
  let rel;
  if (Math.abs(lhs) > 0.01) rel = 100 * abs / Math.abs(lhs);
  else if (Math.abs(abs) < 0.01) rel = 0;
  else rel = abs < 0 ? -100 : 100;
  if (Number.isNaN(rel)) return 0;
  if (!Number.isFinite(rel)) return 100;
  return rel;
}

// A node of the merged tree of two recordings; compareOperation 0 in both,
// 1 LHS only, 2 RHS only.
class Node {
  constructor(record, ifLeft) {
    this.id = record[0];
    this.phase = record[1];
    this.lhsData = record[2];
    this.rhsData = record[3];
    this.parentID = record[4];
    this.model = null;
    this.target = null;
    this.rhsOrder = null;
    if (ifLeft) {
      this.model = record[5];
      this.target = record[6];
      this.leftTree = record[7];
      this.compareOperation = record.length > 8 ? record[8] : 0;
    } else if (reportType === 3) {
      this.target = record[5];
      this.compareOperation = record[6];
      this.rhsOrder = record[7];
    } else if (reportType === 4) {
      this.model = record[5];
      this.harness = record[6];
      this.compareOperation = record[7];
      this.rhsOrder = record[8];
    } else {
      this.compareOperation = record[5];
      this.rhsOrder = record[6];
    }
    if (!ifLeft) this.leftTree = null;
    if (this.compareOperation === undefined || this.compareOperation === null) this.compareOperation = 0;
    // A one-sided node measured nothing on the other side.
    if (this.compareOperation === 2) this.lhsData = 0;
    if (this.compareOperation === 1) this.rhsData = 0;
    this.lhsCount = this.compareOperation !== 2 ? 1 : 0;
    this.rhsCount = this.compareOperation !== 1 ? 1 : 0;
    // Its own values: merging sums into the node, not into this.
    this.own = {lhsData: this.lhsData, rhsData: this.rhsData, lhsCount: this.lhsCount, rhsCount: this.rhsCount};
    initNodeLinks(this, ifLeft);
    this.computeDiff();
  }
  computeDiff() {
    this.absDiff = this.rhsData - this.lhsData;
    this.relDiff = relativeDifference(this.lhsData, this.rhsData);
  }
  merge(other) {
    this.count += other.count;
    this.lhsCount += other.lhsCount;
    this.rhsCount += other.rhsCount;
    this.lhsData += other.lhsData;
    this.rhsData += other.rhsData;
    if (!this.details) this.details = [this];
    this.details.push(other);
    this.computeDiff();
  }
}
