// Qel line dashboard. Every text from the database goes in with textContent:
// nothing from the history ever becomes markup.
'use strict';

const RefreshMs = 5000;
const TestingWithinMs = 120000;
const TokenKey = 'qelDashboardToken';
let selectedRun = null;
let yieldChart = null;

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

class NeedToken extends Error {}

async function api(path) {
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
  return body;
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
    const card = el('div', null, 'card ' + (testing ? 'testing' : 'idle'));
    card.dataset.station = s.station;
    card.append(el('h3', s.station));
    card.append(el('div', testing ? 'testing' : 'idle', 'state'));
    card.append(el('div', percent(s.yieldToday), 'yield'));
    card.append(el('div', `today: ${s.runsToday} runs, ${s.rowsToday} rows`, 'detail'));
    card.append(el('div', `last: ${run.procedure || ''} ${run.lot ? '· lot ' + run.lot : ''}`, 'detail'));
    card.append(el('div', `seen ${localTime(s.lastSeen)}`, 'detail'));
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
      data: { labels, datasets: [{ label: "Today's yield (%)", data, backgroundColor: '#2563eb' }] },
      options: { animation: false, maintainAspectRatio: false, scales: { y: { min: 0, max: 100 } } },
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
  for (const name of ['procedure', 'lot', 'station', 'since', 'until']) {
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
      el('td', r.lot), el('td', r.rows, 'num'), el('td', r.fails, r.fails ? 'num fail' : 'num'),
      el('td', yieldText, 'num'), el('td', r.outcome === null ? 'running' : r.outcome));
    tr.addEventListener('click', () => {
      selectedRun = r.id;
      history.replaceState(null, '', '#run=' + encodeURIComponent(r.id));
      refreshRows();
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

function renderSelection() {
  for (const tr of document.querySelectorAll('#runs tbody tr'))
    tr.classList.toggle('selected', tr.dataset.run === selectedRun);
}

function renderRows(rows) {
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
  htr.append(el('th', 'Seq.'), el('th', 'Measured'));
  for (const c of columns) htr.append(el('th', c.item + c.step));
  htr.append(el('th', 'P/F'));
  head.replaceChildren(htr);
  body.replaceChildren();
  for (const r of rows) {
    const tr = el('tr');
    tr.append(el('td', r.seq, 'num'), el('td', localTime(r.measuredAt)));
    for (const c of columns) {
      const cell = r.cells.find(x => x.step === c.step && x.item === c.item);
      tr.append(el('td', cell ? cell.text : '', cell && cell.verdict === 'fail' ? 'num fail' : 'num'));
    }
    tr.append(el('td', r.verdict === 'fail' ? 'FAIL' : 'PASS', r.verdict === 'fail' ? 'fail' : 'pass'));
    body.append(tr);
  }
}

async function refreshRows() {
  if (!selectedRun) return;
  try {
    renderRows(await api('/api/runs/' + encodeURIComponent(selectedRun) + '/rows'));
  } catch (e) {
    handle(e);
  }
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
    const open = runs.find(r => r.id === selectedRun);
    if (open && open.outcome === null) await refreshRows();
    setStatus('Updated ' + new Date().toLocaleTimeString());
    // For the benchmark: milliseconds from navigation to the first full render.
    if (!document.documentElement.dataset.firstRenderMs)
      document.documentElement.dataset.firstRenderMs = String(Math.round(performance.now()));
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
document.getElementById('filters').addEventListener('submit', ev => { ev.preventDefault(); refresh(); });
document.getElementById('filters').addEventListener('reset', () => setTimeout(refresh, 0));

// A link may name a run: #run=ID.
if (location.hash.startsWith('#run=')) {
  selectedRun = decodeURIComponent(location.hash.slice(5));
  refreshRows();
}
refresh();
setInterval(refresh, RefreshMs);
