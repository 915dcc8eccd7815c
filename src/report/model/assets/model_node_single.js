// A node of one recording, from a left (summary) or right (detailed) record.
class Node {
  constructor(record, ifLeft) {
    this.id = record[0];
    this.phase = record[1];
    this.time = record[2];
    this.memory = record[3];
    this.parentID = record[4];
    this.model = record[5];
    if (reportType === 2) this.harness = record[6]; else this.target = record[6];
    this.leftTree = ifLeft ? record[7] : null;
    // Its own values: merging sums into the node, not into this.
    this.own = {time: this.time, memory: this.memory};
    initNodeLinks(this, ifLeft);
  }
  merge(other) {
    this.count += other.count;
    this.time += other.time;
    this.memory += other.memory;
    if (!this.details) this.details = [this];
    this.details.push(other);
  }
}
