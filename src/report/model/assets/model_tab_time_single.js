// Totals of the checked items for the title bar.
function dealWithTabTime(items) {
  let time = 0;
  let memory = 0;
  for (const item of items) {
    time += item.time;
    memory += item.memory;
  }
  return 'Total time: ' + fixed2(time) + ' Secs, Memory: ' + fixed2(memory) + ' MB';
}
