// The flame graph: frames named by their nodes, a tool-tip with name and
// count, zoom on click, and the left table following the clicked frame.
var gMap = new Map();
var fgFrames = [];
var fgStarted = false;
var fgLeft = 0;
var fgWidth = 0;
var kCharWidth = 12 * 0.59;

// The frame's node name: its <id> text without the trailing "(count ...)".
function g_to_func(g) {
  const id = g.getElementsByTagName('id')[0];
  return id ? id.textContent.replace(/\([^()]*\)$/, '').replace(/ $/, '') : '';
}
function frameCount(g) {
  const id = g.getElementsByTagName('id')[0];
  const found = id ? id.textContent.match(/\(([^()]*)\)$/) : null;
  return found ? found[1] : '';
}
function g_to_text(g) { return g.querySelector('text'); }
function findOriginalNode(id) {
  if (id === 'all') return leftProcessedMap.get('root') || null;
  return leftProcessedMap.get(id) || rightProcessedMap.get(id) || null;
}
function frameLabel(g) {
  const node = findOriginalNode(g.fgId);
  return node ? displayName(node) : g.fgId;
}

function construct_gMap() {
  const frames = document.getElementById('frames');
  if (!frames) return;
  for (const g of frames.children) {
    if (g.tagName.toLowerCase() !== 'g') continue;
    g.fgId = g_to_func(g);
    gMap.set(g.fgId, g);
    fgFrames.push(g);
  }
}
function find_child(id) { return gMap.get(id) || null; }

function attr(element, name) { return parseFloat(element.getAttribute(name)); }
function remember(g) {
  const rect = g.querySelector('rect');
  if (!rect.hasAttribute('data-x')) {
    rect.setAttribute('data-x', rect.getAttribute('x'));
    rect.setAttribute('data-width', rect.getAttribute('width'));
  }
}
function update_text(g) {
  const rect = g.querySelector('rect');
  const text = g_to_text(g);
  if (!text) return;
  text.setAttribute('x', (attr(rect, 'x') + 3).toFixed(2));
  const room = Math.floor((attr(rect, 'width') - 6) / kCharWidth);
  const name = frameLabel(g);
  if (room < 3) text.textContent = '';
  else text.textContent = name.length <= room ? name : name.substring(0, room - 2) + '..';
}
function place(g, x, width) {
  const rect = g.querySelector('rect');
  rect.setAttribute('x', x.toFixed(2));
  rect.setAttribute('width', Math.max(width, 0).toFixed(2));
  update_text(g);
}

// Frames above the target fill the width; its ancestors span it, faded.
function zoom(target) {
  remember(target);
  const tr = target.querySelector('rect');
  const x0 = attr(tr, 'data-x');
  const w0 = attr(tr, 'data-width');
  const y0 = attr(tr, 'y');
  const ratio = fgWidth / w0;
  const eps = 0.0001;
  for (const g of fgFrames) {
    remember(g);
    const rect = g.querySelector('rect');
    const x = attr(rect, 'data-x');
    const w = attr(rect, 'data-width');
    const y = attr(rect, 'y');
    g.classList.remove('hide', 'parent');
    if (y > y0 && x <= x0 + eps && x + w >= x0 + w0 - eps) {
      g.classList.add('parent');
      place(g, fgLeft, fgWidth);
    } else if (y <= y0 && x >= x0 - eps && x + w <= x0 + w0 + eps) {
      zoom_child(g, x, w, x0, ratio);
    } else {
      g.classList.add('hide');
    }
  }
  document.getElementById('svg-content').dataset.zoomed = target.fgId;
  const reset = document.getElementById('unzoom');
  if (reset) reset.style.opacity = '1';
}
function zoom_child(g, x, w, x0, ratio) { place(g, fgLeft + (x - x0) * ratio, w * ratio); }
function zoom_parent(g) { g.classList.add('parent'); place(g, fgLeft, fgWidth); }
function zoom_reset(g) {
  const rect = g.querySelector('rect');
  g.classList.remove('hide', 'parent');
  if (rect.hasAttribute('data-x')) place(g, attr(rect, 'data-x'), attr(rect, 'data-width'));
}
function unzoom() {
  for (const g of fgFrames) zoom_reset(g);
  delete document.getElementById('svg-content').dataset.zoomed;
  const reset = document.getElementById('unzoom');
  if (reset) reset.style.opacity = '0';
}
function clearzoom() { unzoom(); }

function showTooltip(event, g) {
  const tip = document.getElementById('fgTooltip');
  tip.textContent = frameLabel(g) + ' (' + frameCount(g) + ')';
  tip.style.left = (event.clientX + 12) + 'px';
  tip.style.top = (event.clientY + 12) + 'px';
  tip.classList.remove('hidden');
  const details = document.getElementById('details');
  if (details) details.textContent = tip.textContent;
}
function hideTooltip() {
  document.getElementById('fgTooltip').classList.add('hidden');
  const details = document.getElementById('details');
  if (details) details.textContent = ' ';
}

// The left-table row of the clicked frame's item (or grouping) is selected
// and shown; the zoom stays on the clicked frame.
function openLayerFromFG(g) {
  let node = findOriginalNode(g.fgId);
  while (node && !node.isLeft) node = node.parent;
  if (!node || !node.row) return;
  revealRow(node);
  selectOnly(node, false);
}
function clickFGNode(id) {
  const g = find_child(id);
  if (g) zoom(g);
}

function toggleSVG() {
  const content = document.getElementById('svg-content');
  content.classList.toggle('hidden');
  document.getElementById('arrow').textContent = content.classList.contains('hidden') ? '\u25B6' : '\u25BC';
}

function colourFramesByDifference() {
  for (const g of fgFrames) {
    const node = findOriginalNode(g.fgId);
    if (node) g.querySelector('rect').setAttribute('fill', comparisonColor(node.relDiff));
  }
}

function init() {
  if (fgStarted) return;
  fgStarted = true;
  construct_gMap();
  const all = find_child('all') || fgFrames[0];
  if (all) {
    fgLeft = attr(all.querySelector('rect'), 'x');
    fgWidth = attr(all.querySelector('rect'), 'width');
  }
  for (const g of fgFrames) {
    update_text(g);
    g.addEventListener('mouseover', (event) => showTooltip(event, g));
    g.addEventListener('mousemove', (event) => showTooltip(event, g));
    g.addEventListener('mouseout', hideTooltip);
    g.addEventListener('click', () => { zoom(g); openLayerFromFG(g); });
  }
  const reset = document.getElementById('unzoom');
  if (reset) {
    reset.style.cursor = 'pointer';
    reset.style.opacity = '0';
    reset.addEventListener('click', unzoom);
  }
  // The drawing's search box has lost its handlers to the page.
  const search = document.getElementById('search');
  if (search) search.style.display = 'none';
  %DIFFREPORT_FG%
}
