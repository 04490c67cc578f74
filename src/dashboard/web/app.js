// Qel line dashboard. Every text from the database goes in with textContent:
// nothing from the history ever becomes markup.
'use strict';

const RefreshMs = 5000;
const TestingWithinMs = 120000;
const TokenKey = 'qelDashboardToken';
let selectedRun = null;
let yieldChart = null;
let selectedLot = null;
let histogramChart = null;
let controlChart = null;

function el(tag, text, cls) {
  const e = document.createElement(tag);
  if (text !== undefined && text !== null) e.textContent = String(text);
  if (cls) e.className = cls;
  return e;
}

function setStatus(text, isError) {
  const s = document.getElementById('status');
  s.textContent = text;
  s.className = isError ? 'error' : '';
}

function localTime(iso) {
  if (!iso) return '';
  const d = new Date(iso);
  return isNaN(d) ? iso : d.toLocaleString();
}

function percent(fraction) {
  return fraction === null || fraction === undefined ? '–' : (100 * fraction).toFixed(1) + ' %';
}

// A reading's unit by its item (the meter's vocabulary).
const Units = { C: 'F', L: 'H', X: '\u03a9', Z: '\u03a9', R: '\u03a9', Rdc: '\u03a9', B: 'S', Y: 'S', G: 'S', Angle: '\u00b0' };
// Colours told apart with any colour vision (Okabe and Ito).
const OkabeIto = { blue: '#0072b2', skyBlue: '#56b4e9', green: '#009e73', vermilion: '#d55e00', black: '#000000' };
const Prefixes = { '-15': 'f', '-12': 'p', '-9': 'n', '-6': '\u00b5', '-3': 'm', '0': '', '3': 'k', '6': 'M', '9': 'G', '12': 'T' };

function unitOf(item) {
  return Units[item] || '';
}

// Six figures and never an exponent: 0.00000379093, 1548240000.
function plainNumber(v) {
  if (v === 0 || !isFinite(v)) return String(v);
  const decimals = 5 - Math.floor(Math.log10(Math.abs(v)));
  if (decimals <= 0) return String(Number(v.toPrecision(6)));
  let t = v.toFixed(Math.min(20, decimals));
  if (t.includes('.')) t = t.replace(/0+$/, '').replace(/\.$/, '');
  return t;
}

// 100.003 nF: six figures, the mantissa from 1 to below 1000 with a prefix
// when the reading has a unit that takes one; without a unit a plain number.
function engineering(v, unit) {
  if (v === null || v === undefined) return '';
  if (!unit || unit === '\u00b0' || v === 0 || !isFinite(v)) {
    const plain = plainNumber(v);
    return unit ? plain + (unit === '\u00b0' ? unit : ' ' + unit) : plain;
  }
  let exp = Math.floor(Math.log10(Math.abs(v)) / 3) * 3;
  exp = Math.min(12, Math.max(-15, exp));
  let mantissa = Number((v / Math.pow(10, exp)).toPrecision(6));
  if (Math.abs(mantissa) >= 1000 && exp < 12) {
    exp += 3;
    mantissa = Number((v / Math.pow(10, exp)).toPrecision(6));
  }
  return String(mantissa) + ' ' + Prefixes[String(exp)] + unit;
}

// Every chart writes its axes' tick labels onto its canvas (data-x-ticks,
// data-y-ticks), for screen readers and for checking what it drew.
if (typeof Chart !== 'undefined') {
  Chart.register({ id: 'tickLabels', afterUpdate(chart) {
    for (const [id, scale] of Object.entries(chart.scales))
      chart.canvas.dataset[id + 'Ticks'] = scale.ticks.map(t => [].concat(t.label).join(' ')).join(' | ');
  } });
}

class NeedToken extends Error {}

// The answer's body, and with whole set its headers too.
async function api(path, whole) {
  const headers = {};
  const token = sessionStorage.getItem(TokenKey);
  if (token) headers['Authorization'] = 'Bearer ' + token;
  const r = await fetch(path, { headers, cache: 'no-store' });
  if (r.status === 401) {
    sessionStorage.removeItem(TokenKey);
    throw new NeedToken();
  }
  const body = await r.json();
  if (!r.ok) throw new Error(body.error || ('HTTP ' + r.status));
  return whole ? { body, headers: r.headers } : body;
}

function askToken() {
  const form = document.getElementById('token-form');
  form.hidden = false;
  document.getElementById('token').focus();
}

function renderStations(stations) {
  const box = document.getElementById('stations');
  box.replaceChildren();
  const now = Date.now();
  for (const s of stations) {
    const run = s.lastRun || {};
    const testing = !run.finished && now - new Date(s.lastSeen).getTime() < TestingWithinMs;
    const alarms = s.controlAlarms || [];
    const card = el('div', null, 'card ' + (testing ? 'testing' : 'idle') + (alarms.length ? ' alarm' : ''));
    card.dataset.station = s.station;
    card.append(el('h3', s.station));
    card.append(el('div', testing ? 'testing' : 'idle', 'state'));
    card.append(el('div', 'Yield today', 'label'));
    card.append(el('div', percent(s.yieldToday), 'yield'));
    card.append(el('div', `today: ${s.runsToday} runs, ${s.rowsToday} rows`, 'detail'));
    card.append(el('div', `last: ${run.procedure || ''} ${run.lot ? '· lot ' + run.lot : ''}`, 'detail'));
    card.append(el('div', `seen ${localTime(s.lastSeen)}`, 'detail'));
    // The newest points of its last run that break a control-chart rule.
    if (alarms.length) {
      const said = [...new Set(alarms.map(a => `${a.column} rule ${a.rule}`))];
      card.append(el('div', 'out of control: ' + said.join(', '), 'alarm-text'));
    }
    box.append(card);
  }
  if (!stations.length) box.append(el('p', 'No runs recorded yet.'));
  renderYieldChart(stations);
}

function renderYieldChart(stations) {
  if (typeof Chart === 'undefined') return;
  const labels = stations.map(s => s.station);
  const data = stations.map(s => s.yieldToday === null ? 0 : 100 * s.yieldToday);
  if (!yieldChart) {
    yieldChart = new Chart(document.getElementById('yield-chart'), {
      type: 'bar',
      data: { labels, datasets: [{ label: "Today's yield (%)", data, backgroundColor: OkabeIto.blue }] },
      options: { animation: false, maintainAspectRatio: false,
        scales: { x: { title: { display: true, text: 'Station' } },
          y: { min: 0, max: 100, ticks: { stepSize: 25, callback: v => v + ' %' }, title: { display: true, text: "Today's yield (%)" } } } },
    });
  } else {
    yieldChart.data.labels = labels;
    yieldChart.data.datasets[0].data = data;
    yieldChart.update();
  }
}

function filterQuery() {
  const form = document.getElementById('filters');
  const q = new URLSearchParams();
  for (const name of ['procedure', 'lot', 'station', 'serial', 'since', 'until']) {
    const v = form.elements[name].value.trim();
    if (v) q.set(name, v);
  }
  q.set('limit', '200');
  return q.toString();
}

function renderRuns(runs) {
  const body = document.querySelector('#runs tbody');
  body.replaceChildren();
  for (const r of runs) {
    const tr = el('tr');
    tr.dataset.run = r.id;
    if (r.id === selectedRun) tr.className = 'selected';
    const yieldText = r.rows ? percent((r.rows - r.fails) / r.rows) : '–';
    tr.append(el('td', localTime(r.started)), el('td', r.station), el('td', r.operator), el('td', r.procedure),
      lotCell(r.lot), el('td', r.rows, 'num'), el('td', r.fails, r.fails ? 'num fail' : 'num'),
      el('td', yieldText, 'num'), el('td', r.outcome === null ? 'running' : r.outcome));
    tr.addEventListener('click', () => {
      history.replaceState(null, '', '#run=' + encodeURIComponent(r.id));
      selectRun(r.id);
      renderSelection();
    });
    body.append(tr);
  }
  if (!runs.length) {
    const tr = el('tr');
    const td = el('td', 'No runs match.');
    td.colSpan = 9;
    tr.append(td);
    body.append(tr);
  }
}

// A run's lot opens the lot's statistics, without selecting the run.
function lotCell(lot) {
  const td = el('td', lot);
  if (lot) td.addEventListener('click', ev => { ev.stopPropagation(); chooseLot(lot); });
  return td;
}

function figure(v) {
  return v === null || v === undefined ? '' : String(Number(v.toPrecision(6)));
}

// The lot's statistics and histogram show only once a lot is chosen.
function showLot(shown) {
  document.getElementById('lot-body').hidden = !shown;
}

function chooseLot(lot) {
  selectedLot = lot;
  document.getElementById('lot-form').elements.lot.value = lot;
  history.replaceState(null, '', '#lot=' + encodeURIComponent(lot));
  refreshLot();
}

function renderLotStats(stats) {
  document.getElementById('lot-title').textContent = `${selectedLot} · ${stats.rows} rows, first-pass yield ${percent(stats.firstPassYield)}`;
  const body = document.querySelector('#lot-stats tbody');
  body.replaceChildren();
  const select = document.getElementById('lot-form').elements.column;
  const chosen = select.value;
  select.replaceChildren();
  stats.columns.forEach((c, i) => {
    const tr = el('tr');
    tr.dataset.column = String(i);
    tr.append(el('td', c.step, 'num'), el('td', c.item), el('td', c.n, 'num'));
    for (const k of ['mean', 'stdev', 'min', 'max']) tr.append(el('td', engineering(c[k], unitOf(c.item)), 'num'));
    for (const k of ['cp', 'cpk']) tr.append(el('td', figure(c[k]), 'num'));
    tr.append(el('td', c.fails, c.fails ? 'num fail' : 'num'), el('td', c.yield === null ? '' : percent(c.yield), 'num'));
    tr.addEventListener('click', () => { select.value = String(i); refreshHistogram(); });
    body.append(tr);
    const option = el('option', c.item + c.step);
    option.value = String(i);
    select.append(option);
  });
  if (!stats.columns.length) {
    const tr = el('tr');
    const td = el('td', 'No rows recorded for this lot.');
    td.colSpan = 11;
    tr.append(td);
    body.append(tr);
  }
  select.disabled = !stats.columns.length;
  if (!stats.columns.length && histogramChart) {
    histogramChart.destroy();
    histogramChart = null;
    delete document.querySelector('.histogram-box').dataset.column;
  }
  if (chosen && Number(chosen) < stats.columns.length) select.value = chosen;
}

// A vertical line from the floor to the top of the tallest bin, for the legend and the plot.
function marker(label, x, top, color, dash) {
  return { type: 'line', label, data: [{ x, y: 0 }, { x, y: top }], borderColor: color, backgroundColor: color,
    borderDash: dash, borderWidth: 2, pointRadius: 0, pointStyle: 'line', order: 0 };
}

function renderHistogram(h) {
  if (typeof Chart === 'undefined') return;
  const box = document.querySelector('.histogram-box');
  box.dataset.column = String(h.column.index);
  // The bins are in base units (the column's own unit may carry a prefix).
  const unit = unitOf(h.column.item);
  const name = h.column.item + h.column.step;
  const axis = unit ? `${name} (${unit})` : name;
  const canvas = document.getElementById('histogram-chart');
  canvas.setAttribute('aria-label', 'Histogram of ' + axis);
  const bars = h.bins.map(b => ({ x: (b.from + b.to) / 2, y: b.count }));
  const top = Math.max(1, ...h.bins.map(b => b.count));
  const datasets = [{ type: 'bar', label: `${name} readings`, pointStyle: 'rect',
    data: bars, backgroundColor: OkabeIto.skyBlue, barPercentage: 1, categoryPercentage: 1, grouped: false, order: 1 }];
  if (h.low !== null) datasets.push(marker('low limit', h.low, top, OkabeIto.vermilion, [6, 4]));
  if (h.high !== null) datasets.push(marker('high limit', h.high, top, OkabeIto.vermilion, [6, 4]));
  if (h.standard !== null) datasets.push(marker('standard', h.standard, top, OkabeIto.black, [2, 3]));
  if (histogramChart) {
    histogramChart.data.datasets = datasets;
    histogramChart.options.scales.x.title.text = axis;
    histogramChart.options.scales.x.ticks.callback = v => engineering(v, unit);
    histogramChart.update();
    return;
  }
  histogramChart = new Chart(canvas, {
    type: 'bar',
    data: { datasets },
    options: { animation: false, maintainAspectRatio: false, parsing: true,
      // Swatches drawn in each dataset's own style: the limits as (dashed) lines.
      plugins: { legend: { labels: { usePointStyle: true, pointStyleWidth: 28 } } },
      scales: { x: { type: 'linear', ticks: { callback: v => engineering(v, unit) }, title: { display: true, text: axis } },
        y: { beginAtZero: true, title: { display: true, text: 'Count' }, ticks: { precision: 0 } } } },
  });
}

// The lot's X chart of the chosen column: points, center and control limits,
// the step's limits, and the points that complete a rule in red.
function renderControl(c) {
  if (typeof Chart === 'undefined') return;
  const k = c.control;
  const unit = unitOf(c.column.item);
  const name = c.column.item + c.column.step;
  const broken = new Map();
  for (const v of k.violations) broken.set(v.point, (broken.get(v.point) || '') + v.rule);
  const rules = k.violations.length ? `${k.violations.length} rule violation(s) at point(s) ${[...broken.keys()].join(', ')}` : 'no rule broken';
  document.getElementById('control-summary').textContent =
    `${name}: ${k.chart} chart, center ${engineering(k.center, unit)}, UCL ${engineering(k.ucl, unit)}, LCL ${engineering(k.lcl, unit)}; ${rules}.`;
  const xs = c.points.map((y, i) => ({ x: c.firstPoint + i, y }));
  const first = c.firstPoint, last = c.firstPoint + Math.max(0, c.points.length - 1);
  const level = (label, y, color, dash) => ({ type: 'line', label, data: [{ x: first, y }, { x: last, y }],
    borderColor: color, backgroundColor: color, borderDash: dash, borderWidth: 1.5, pointRadius: 0, pointStyle: 'line' });
  const datasets = [{ type: 'line', label: `${name} points`, data: xs, borderColor: '#374151', backgroundColor: '#374151',
    borderWidth: 1, pointRadius: xs.map(p => broken.has(p.x) ? 5 : 2),
    pointBackgroundColor: xs.map(p => broken.has(p.x) ? '#dc2626' : '#374151') }];
  if (k.center !== null) {
    datasets.push(level('UCL', k.ucl, '#1d4ed8', [6, 4]), level('center', k.center, '#15803d', []), level('LCL', k.lcl, '#1d4ed8', [6, 4]));
  }
  if (c.low !== null) datasets.push(level('low limit', c.low, '#b91c1c', []));
  if (c.high !== null) datasets.push(level('high limit', c.high, '#b91c1c', []));
  if (controlChart) {
    controlChart.data.datasets = datasets;
    controlChart.options.scales.y.ticks.callback = v => engineering(v, unit);
    controlChart.update();
    return;
  }
  controlChart = new Chart(document.getElementById('control-chart'), {
    type: 'line',
    data: { datasets },
    options: { animation: false, maintainAspectRatio: false,
      plugins: { legend: { labels: { usePointStyle: true, pointStyleWidth: 28 } } },
      scales: { x: { type: 'linear', title: { display: true, text: 'point' }, ticks: { precision: 0 } },
        y: { ticks: { callback: v => engineering(v, unit) } } } },
  });
}

async function loadHistogram() {
  const select = document.getElementById('lot-form').elements.column;
  if (!selectedLot || select.disabled) return;
  const query = '?lot=' + encodeURIComponent(selectedLot) + '&column=' + select.value;
  const [h, c] = await Promise.all([api('/api/histogram' + query), api('/api/control' + query)]);
  renderHistogram(h);
  renderControl(c);
}

// The lot's parts by the bin each was sorted into when measured.
function renderLotBins(b) {
  const box = document.getElementById('lot-bins');
  if (!b.bins.length) {
    box.textContent = 'Bins: none recorded for this lot.';
    return;
  }
  const parts = b.bins.map(x => `${x.name} ${x.count} (${percent(x.share)})`);
  if (b.unbinned) parts.push(`no bin ${b.unbinned}`);
  box.textContent = 'Bins: ' + parts.join(' · ');
}

async function loadLot() {
  showLot(!!selectedLot);
  if (!selectedLot) return;
  const lot = encodeURIComponent(selectedLot);
  const [stats, bins] = await Promise.all([api('/api/stats?lot=' + lot), api('/api/bins?lot=' + lot)]);
  renderLotStats(stats);
  renderLotBins(bins);
  await loadHistogram();
}

function refreshHistogram() { loadHistogram().catch(handle); }
function refreshLot() { loadLot().catch(handle); }

function renderSelection() {
  for (const tr of document.querySelectorAll('#runs tbody tr'))
    tr.classList.toggle('selected', tr.dataset.run === selectedRun);
}

// A run's rows come a page at a time; shownTotal is the run's rows when its page was read.
const PageRows = 500;
let rowsOffset = 0;
let shownTotal = -1;

function renderRows(rows, total) {
  document.getElementById('run-section').hidden = false;
  document.getElementById('run-title').textContent = selectedRun;
  const head = document.querySelector('#rows thead');
  const body = document.querySelector('#rows tbody');
  const columns = [];
  const seen = new Set();
  for (const r of rows)
    for (const c of r.cells) {
      const key = c.step + '\u001f' + c.item;
      if (!seen.has(key)) { seen.add(key); columns.push(c); }
    }
  const htr = el('tr');
  // Serials only where parts were named; the part searched for stands out.
  const serials = rows.some(r => r.serial);
  const part = document.getElementById('filters').elements.serial.value.trim();
  htr.append(el('th', 'Seq.'), el('th', 'Measured'));
  if (serials) htr.append(el('th', 'Serial'));
  for (const c of columns) htr.append(el('th', c.item + c.step));
  htr.append(el('th', 'P/F'));
  head.replaceChildren(htr);
  body.replaceChildren();
  for (const r of rows) {
    const tr = el('tr');
    if (part && r.serial === part) tr.className = 'selected';
    tr.append(el('td', r.seq, 'num'), el('td', localTime(r.measuredAt)));
    if (serials) tr.append(el('td', r.serial || ''));
    for (const c of columns) {
      const cell = r.cells.find(x => x.step === c.step && x.item === c.item);
      tr.append(el('td', cell ? cell.text : '', cell && cell.verdict === 'fail' ? 'num fail' : 'num'));
    }
    tr.append(el('td', r.verdict === 'fail' ? 'FAIL' : 'PASS', r.verdict === 'fail' ? 'fail' : 'pass'));
    body.append(tr);
  }
  const first = rows.length ? rowsOffset + 1 : 0;
  document.getElementById('rows-shown').textContent =
    `Rows ${first.toLocaleString()}\u2013${(rowsOffset + rows.length).toLocaleString()} of ${total.toLocaleString()}`;
  document.getElementById('rows-previous').disabled = rowsOffset === 0;
  document.getElementById('rows-next').disabled = rowsOffset + rows.length >= total;
}

async function refreshRows() {
  if (!selectedRun) return;
  try {
    const page = await api('/api/runs/' + encodeURIComponent(selectedRun) + '/rows?offset=' + rowsOffset + '&limit=' + PageRows, true);
    shownTotal = Number(page.headers.get('X-Total-Count'));
    renderRows(page.body, shownTotal);
  } catch (e) {
    handle(e);
  }
}

function selectRun(id) {
  selectedRun = id;
  rowsOffset = 0;
  shownTotal = -1;
  refreshRows();
}

function handle(e) {
  if (e instanceof NeedToken) {
    setStatus('Token needed.', true);
    askToken();
  } else {
    setStatus('Not updated: ' + e.message, true);
  }
}

let busy = false;
async function refresh() {
  if (busy) return;
  busy = true;
  try {
    const [stations, runs] = await Promise.all([api('/api/stations'), api('/api/runs?' + filterQuery())]);
    renderStations(stations);
    renderRuns(runs);
    // The open run's page again only while its rows grow.
    const open = runs.find(r => r.id === selectedRun);
    if (open && open.rows !== shownTotal) await refreshRows();
    await loadLot();
    setStatus('Updated ' + new Date().toLocaleTimeString());
    // For the benchmark: milliseconds from navigation to the first full render.
    if (!document.documentElement.dataset.firstRenderMs) {
      document.documentElement.dataset.firstRenderMs = String(Math.round(performance.now()));
      if (location.hash === '#first-render') {
        // Also from the page's arrival: a cold browser spends the first part starting itself.
        const nav = performance.getEntriesByType('navigation')[0];
        const arrived = nav ? Math.round(performance.now() - nav.responseStart) : -1;
        console.info('first render ' + document.documentElement.dataset.firstRenderMs + ' ms, ' + arrived + ' ms after the page arrived');
        console.info('loaded: ' + performance.getEntriesByType('resource')
          .map(e => e.name.replace(location.origin, '') + ' ' + Math.round(e.startTime) + '-' + Math.round(e.responseEnd)).join(', '));
      }
    }
  } catch (e) {
    handle(e);
  } finally {
    busy = false;
  }
}

document.getElementById('token-form').addEventListener('submit', ev => {
  ev.preventDefault();
  sessionStorage.setItem(TokenKey, document.getElementById('token').value.trim());
  document.getElementById('token-form').hidden = true;
  refresh();
});
document.getElementById('lot-form').addEventListener('submit', ev => {
  ev.preventDefault();
  const lot = ev.target.elements.lot.value.trim();
  if (lot) chooseLot(lot);
});
document.getElementById('lot-form').elements.column.addEventListener('change', refreshHistogram);
document.getElementById('rows-previous').addEventListener('click', () => {
  rowsOffset = Math.max(0, rowsOffset - PageRows);
  refreshRows();
});
document.getElementById('rows-next').addEventListener('click', () => {
  rowsOffset += PageRows;
  refreshRows();
});
document.getElementById('filters').addEventListener('submit', ev => { ev.preventDefault(); refresh(); });
document.getElementById('filters').addEventListener('reset', () => setTimeout(refresh, 0));

// A link may name a run (#run=ID) or a lot (#lot=LOT).
if (location.hash.startsWith('#run=')) {
  selectRun(decodeURIComponent(location.hash.slice(5)));
} else if (location.hash.startsWith('#lot=')) {
  chooseLot(decodeURIComponent(location.hash.slice(5)));
}
refresh();
setInterval(refresh, RefreshMs);
