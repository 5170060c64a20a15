// The HTML report page: its styles and script, written out with the figures
// embedded, so that the file opens anywhere without network access.
#include "tools/quillet/report/html_page.h"

namespace quillet::tool {
namespace {

constexpr std::string_view kStyle = R"CSS(
body{font:14px/1.4 system-ui,sans-serif;margin:0;color:#222;background:#fafafa}
header{background:#2d3e50;color:#fff;padding:10px 18px}
header h1{font-size:18px;margin:0}
main{padding:0 18px 30px}
section{background:#fff;border:1px solid #ddd;border-radius:4px;margin:14px 0;padding:10px 14px}
h2{font-size:15px;margin:4px 0 8px}
table{border-collapse:collapse;width:100%}
th,td{padding:2px 8px;text-align:right;white-space:nowrap}
th{background:#eef1f4;cursor:pointer;user-select:none}
td.name,th.name,td.text{text-align:left}
td.text{font-family:monospace;white-space:pre}
tr.row:hover{background:#f2f6ff;cursor:pointer}
.summary{display:grid;grid-template-columns:repeat(auto-fill,minmax(200px,1fr));gap:6px}
.summary div b{display:block;font-size:17px}
.scroll{max-height:360px;overflow:auto}
.node{white-space:nowrap;font-family:monospace}
.node .toggle{display:inline-block;width:16px;cursor:pointer;color:#555}
.node .label{cursor:pointer}
.node .bar{display:inline-block;height:8px;background:#e8833a;margin-right:6px;vertical-align:middle}
#flame{position:relative;overflow:hidden;border:1px solid #ddd;background:#fff}
.frame{position:absolute;height:17px;font:11px/17px monospace;overflow:hidden;white-space:nowrap;
 border-right:1px solid #fff;border-bottom:1px solid #fff;box-sizing:border-box;padding-left:3px;cursor:pointer}
.frame.match{background:#c23bd4 !important;color:#fff}
.toolbar{margin:6px 0}
.plus{color:#b00}.minus{color:#070}
.only{color:#555;font-style:italic}
#selected-name{font-weight:bold}
)CSS";

constexpr std::string_view kScript = R"JS(
'use strict';
const D = JSON.parse(document.getElementById('report-data').textContent);
const $ = id => document.getElementById(id);
function el(tag, attrs, text) {
  const e = document.createElement(tag);
  for (const k in attrs || {}) e.setAttribute(k, attrs[k]);
  if (text !== undefined) e.textContent = text;
  return e;
}
// As the tool's FormatDuration: a figure that rounds to 1000 takes the next unit.
function fmt(t) {
  if (D.frequency <= 0) return t + ' ticks';
  const s = Math.abs(t / D.frequency), sign = t < 0 ? '-' : '';
  for (const [per, name, decimals] of [[1e9, 'ns', 0], [1e6, 'us', 2], [1e3, 'ms', 2]]) {
    const figure = (s * per).toFixed(decimals);
    if (Number(figure) < 1000) return sign + figure + ' ' + name;
  }
  return sign + s.toFixed(2) + ' s';
}
function pct(part, whole) { return whole > 0 ? (100 * part / whole).toFixed(1) + '%' : '-'; }
const P = D.procedures;
const T = D.tree;  // parallel arrays over the merged call paths; node 0 is the root
const N = T.parent.length;
const kids = Array.from({length: N}, () => []);
for (let i = 1; i < N; ++i) kids[T.parent[i]].push(i);
for (const k of kids) k.sort((a, b) => T.total[b] - T.total[a]);
function frameName(i) { return T.proc[i] < 0 ? '[deeper frames]' : P[T.proc[i]].name; }

// Summary
const summary = $('summary');
for (const [label, value] of [['Total time', fmt(D.totalTime)], ['Calls', D.calls], ['Procedures', P.length],
    ['Counter frequency', D.frequency + ' counts/s'], ['Open calls', D.openCalls], ['Warnings', D.messages.length]]) {
  const d = el('div'); d.append(el('b', {}, String(value)), label); summary.append(d);
}
const warnings = $('warnings');
for (const m of D.messages) warnings.append(el('li', {}, m));
if (!D.messages.length) warnings.append(el('li', {}, '(none)'));

// Procedures, sortable by any column
const columns = [['name', 'Procedure', p => p.name], ['module', 'Module', p => p.module],
  ['calls', 'Calls', p => p.calls], ['inclusive', 'Inclusive', p => p.inclusive],
  ['exclusive', 'Exclusive', p => p.exclusive], ['perCall', 'Incl/call', p => p.calls ? p.inclusive / p.calls : 0]];
let sortKey = 'inclusive', sortDown = true;
function drawProcedures() {
  const table = $('procedures');
  table.textContent = '';
  const head = el('tr');
  for (const [key, label] of columns) {
    const th = el('th', {'data-key': key, class: key === 'name' || key === 'module' ? 'name' : ''},
                  label + (key === sortKey ? (sortDown ? ' \u25bc' : ' \u25b2') : ''));
    th.onclick = () => { sortDown = key === sortKey ? !sortDown : true; sortKey = key; drawProcedures(); };
    head.append(th);
  }
  table.append(head);
  const get = columns.find(c => c[0] === sortKey)[2];
  const order = P.map((p, i) => i).sort((a, b) => {
    const x = get(P[a]), y = get(P[b]);
    const c = typeof x === 'string' ? x.localeCompare(y) : x - y;
    return sortDown ? -c : c;
  });
  for (const i of order) {
    const p = P[i];
    const tr = el('tr', {class: 'row', 'data-proc': i});
    tr.append(el('td', {class: 'name'}, p.name), el('td', {class: 'name'}, p.module), el('td', {}, p.calls),
              el('td', {}, fmt(p.inclusive)), el('td', {}, fmt(p.exclusive)),
              el('td', {}, p.calls ? fmt(Math.round(p.inclusive / p.calls)) : '-'));
    tr.onclick = () => select(i);
    table.append(tr);
  }
}

// Hottest lines
function drawLines() {
  const table = $('lines');
  const head = el('tr');
  for (const h of ['Procedure', 'Line', 'Hits', 'Time', '% proc']) head.append(el('th', {class: h === 'Procedure' ? 'name' : ''}, h));
  table.append(head);
  for (const l of D.lines) {
    const tr = el('tr', {class: 'row'});
    tr.append(el('td', {class: 'name'}, P[l.proc].name), el('td', {}, l.line), el('td', {}, l.hits),
              el('td', {}, fmt(l.total)), el('td', {}, pct(l.total, P[l.proc].inclusive)));
    tr.onclick = () => select(l.proc);
    table.append(tr);
  }
}

// Top-down call tree: rows are made when their parent opens
function treeRow(i) {
  const row = el('div', {class: 'node', 'data-node': i});
  const line = el('div');
  const toggle = el('span', {class: 'toggle'}, kids[i].length ? '\u25b6' : '');
  const bar = el('span', {class: 'bar'});
  bar.style.width = Math.max(1, Math.round(80 * T.total[i] / Math.max(1, D.totalTime))) + 'px';
  const label = el('span', {class: 'label'}, frameName(i));
  line.append(toggle, bar, label, ` ${fmt(T.total[i])} (${pct(T.total[i], D.totalTime)}), self ${fmt(T.self[i])}, ${T.calls[i]} call${T.calls[i] === 1 ? '' : 's'}`);
  line.style.paddingLeft = (16 * (T.depth[i] - 1)) + 'px';
  row.append(line);
  const children = el('div', {class: 'children'});
  row.append(children);
  toggle.onclick = () => {
    if (!kids[i].length) return;
    if (children.childElementCount) { children.textContent = ''; toggle.textContent = '\u25b6'; return; }
    for (const k of kids[i]) children.append(treeRow(k));
    toggle.textContent = '\u25bc';
  };
  label.onclick = () => { if (T.proc[i] >= 0) select(T.proc[i]); toggle.onclick(); };
  return row;
}
for (const k of kids[0]) $('tree').append(treeRow(k));
if (D.droppedPaths) $('tree-note').textContent = `${D.droppedPaths} call paths of less than 0.001% of the total time are left out of the tree and the flame graph.`;

// Callers and callees of a procedure, from the merged paths
function relations(p) {
  const callers = new Map(), callees = new Map();
  const add = (m, q, i, timed) => {
    const r = m.get(q) || {calls: 0, time: 0};
    r.calls += T.calls[i];
    if (timed) r.time += T.total[i];
    m.set(q, r);
  };
  // A callee's call runs inside another call of that callee when one lies
  // between it and the outermost call of p above it: that one holds its time.
  const insideItself = (k) => {
    let top = 0;
    for (let a = T.parent[k]; a > 0; a = T.parent[a]) if (T.proc[a] === p) top = a;
    for (let a = T.parent[k]; a !== top; a = T.parent[a]) if (T.proc[a] === T.proc[k]) return true;
    return false;
  };
  for (let i = 1; i < N; ++i) {
    if (T.proc[i] !== p) continue;
    // A recursive call of p is inside an outer call of p: its time counts there.
    if (T.parent[i] > 0 && T.proc[T.parent[i]] >= 0) add(callers, T.proc[T.parent[i]], i, !T.nested[i]);
    for (const k of kids[i]) if (T.proc[k] >= 0) add(callees, T.proc[k], k, !insideItself(k));
  }
  return [callers, callees];
}
function relationTable(id, m) {
  const table = $(id);
  table.textContent = '';
  const head = el('tr');
  for (const h of ['Procedure', 'Calls', 'Time']) head.append(el('th', {class: h === 'Procedure' ? 'name' : ''}, h));
  table.append(head);
  for (const [q, r] of [...m].sort((a, b) => b[1].time - a[1].time)) {
    const tr = el('tr', {class: 'row'});
    tr.append(el('td', {class: 'name'}, P[q].name), el('td', {}, r.calls), el('td', {}, fmt(r.time)));
    tr.onclick = () => select(q);
    table.append(tr);
  }
  if (!m.size) { const tr = el('tr'); tr.append(el('td', {class: 'name'}, '(none)')); table.append(tr); }
}
function heat(f) { return `hsl(${Math.round(50 - 50 * f)},100%,${Math.round(97 - 30 * f)}%)`; }
function drawSource(p) {
  const box = $('source');
  box.textContent = '';
  const s = D.sources[p];
  if (!s) { box.append(el('p', {}, D.sourcesGiven ? 'No source for this procedure.' : 'Give --source DIR to see the source.')); return; }
  const file = D.files[s.file];
  box.append(el('p', {}, file.path));
  const byLine = new Map(s.lines.map(l => [l.line, l]));
  const table = el('table');
  const head = el('tr');
  for (const h of ['Line', 'Hits', 'Time', '% proc', 'Source']) head.append(el('th', {class: h === 'Source' ? 'name' : ''}, h));
  table.append(head);
  for (let n = s.first; n <= s.last && n <= file.lines.length; ++n) {
    const l = byLine.get(n);
    const tr = el('tr', {'data-line': n});
    const f = l && P[p].inclusive > 0 ? l.total / P[p].inclusive : 0;
    tr.append(el('td', {}, n), el('td', {}, l ? l.hits : ''), el('td', {}, l ? fmt(l.total) : ''),
              el('td', {}, l ? pct(l.total, P[p].inclusive) : ''), el('td', {class: 'text'}, file.lines[n - 1]));
    if (l) tr.style.background = heat(Math.min(1, f));
    table.append(tr);
  }
  box.append(table);
}
function select(p) {
  $('selected-name').textContent = P[p].name;
  $('selected-figures').textContent = ` ${P[p].calls} calls, inclusive ${fmt(P[p].inclusive)}, exclusive ${fmt(P[p].exclusive)}`;
  const [callers, callees] = relations(p);
  relationTable('callers', callers);
  relationTable('callees', callees);
  drawSource(p);
}

// Flame graph (icicle: callers on top), zoom on click, search
const flame = $('flame');
const rowHeight = 18;
let zoomRoot = 0;
function colour(name) {
  let h = 0;
  for (let i = 0; i < name.length; ++i) h = (h * 31 + name.charCodeAt(i)) >>> 0;
  return `hsl(${20 + h % 35},${70 + h % 20}%,${60 + h % 15}%)`;
}
function drawFlame() {
  flame.textContent = '';
  const width = flame.clientWidth || 1000;
  const whole = Math.max(1, T.total[zoomRoot]);
  const term = $('search').value.trim().toLowerCase();
  let deepest = 0, drawn = 0, matched = 0;
  // The frames above the zoomed node stay on top, full width.
  const chain = [];
  for (let i = zoomRoot; i > 0; i = T.parent[i]) chain.unshift(i);
  const put = (i, x, w, depth) => {
    const d = el('div', {class: 'frame', 'data-node': i, title: `${frameName(i)}: ${fmt(T.total[i])} (${pct(T.total[i], D.totalTime)})`}, frameName(i));
    d.style.left = x + 'px'; d.style.width = w + 'px'; d.style.top = depth * rowHeight + 'px';
    d.style.background = colour(frameName(i));
    if (term && frameName(i).toLowerCase().includes(term)) d.classList.add('match');
    d.onclick = () => { zoomRoot = i === zoomRoot ? Math.max(0, T.parent[i]) : i; drawFlame(); if (T.proc[i] >= 0) select(T.proc[i]); };
    flame.append(d);
    deepest = Math.max(deepest, depth); ++drawn;
  };
  chain.forEach((i, depth) => { if (i !== zoomRoot) put(i, 0, width, depth); });
  const stack = zoomRoot === 0 ? kids[0].map(k => [k, 0, chain.length]) : [[zoomRoot, 0, chain.length - 1]];
  // x of each root of the zoom
  let x0 = 0;
  if (zoomRoot === 0) for (const s of stack) { s[1] = x0; x0 += width * T.total[s[0]] / whole; }
  while (stack.length && drawn < 20000) {
    const [i, x, depth] = stack.pop();
    const w = width * T.total[i] / whole;
    if (w < 1) continue;
    put(i, x, w, depth);
    let cx = x;
    for (const k of kids[i]) { stack.push([k, cx, depth + 1]); cx += width * T.total[k] / whole; }
  }
  if (term) {
    // Time of the matching frames, each counted once along a path.
    const seen = (i) => { for (let a = T.parent[i]; a > 0; a = T.parent[a]) if (frameName(a).toLowerCase().includes(term)) return true; return false; };
    for (let i = 1; i < N; ++i) if (frameName(i).toLowerCase().includes(term) && !seen(i)) matched += T.total[i];
    $('search-result').textContent = `matched ${fmt(matched)} (${pct(matched, D.totalTime)})`;
  } else {
    $('search-result').textContent = '';
  }
  flame.style.height = ((deepest + 1) * rowHeight + 2) + 'px';
}
$('search').oninput = drawFlame;
$('reset-zoom').onclick = () => { zoomRoot = 0; drawFlame(); };

drawProcedures();
drawLines();
drawFlame();
if (P.length) select(D.hottest);
window.quilletReady = true;
)JS";

constexpr std::string_view kBody = R"HTML(
<main>
<section><h2>Summary</h2><div class="summary" id="summary"></div><h2>Warnings</h2><ul id="warnings"></ul></section>
<section><h2>Flame graph</h2>
<div class="toolbar"><input id="search" placeholder="search procedures"> <span id="search-result"></span>
<button id="reset-zoom">Reset zoom</button> (click a frame to zoom in, click it again to zoom out)</div>
<div id="flame"></div></section>
<section><h2>Procedures</h2><div class="scroll"><table id="procedures"></table></div></section>
<section><h2>Hottest lines</h2><div class="scroll"><table id="lines"></table></div></section>
<section><h2>Call tree</h2><p id="tree-note"></p><div class="scroll" id="tree"></div></section>
<section><h2>Selected: <span id="selected-name"></span><span id="selected-figures"></span></h2>
<h2>Callers</h2><table id="callers"></table><h2>Callees</h2><table id="callees"></table>
<h2>Source</h2><div class="scroll" id="source"></div></section>
</main>
)HTML";

void AppendHead(std::string& out, std::string_view title) {
  out += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>";
  out += EscapeHtml(title);
  out += "</title>\n<style>";
  out += kStyle;
  out += "</style></head>\n<body><header><h1>";
  out += EscapeHtml(title);
  out += "</h1></header>\n";
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string ReportPage(std::string_view title, std::string_view dataJson) {
  std::string out;
  out.reserve(dataJson.size() + kScript.size() + kStyle.size() + kBody.size() + 512);
  AppendHead(out, title);
  out += kBody;
  // The figures are JSON inside a script element, where "</script" or "<!--"
  // would change how the page parses: every "<" (only ever inside a JSON
  // string) is written as its escape.
  out += "<script type=\"application/json\" id=\"report-data\">";
  size_t from = 0;
  for (size_t at = dataJson.find('<'); at != std::string_view::npos; at = dataJson.find('<', from)) {
    out.append(dataJson.substr(from, at - from));
    out += "\\u003c";
    from = at + 1;
  }
  out.append(dataJson.substr(from));
  out += "</script>\n<script>";
  out += kScript;
  out += "</script>\n</body></html>\n";
  return out;
}

std::string StaticPage(std::string_view title, std::string_view body) {
  std::string out;
  AppendHead(out, title);
  out += "<main>";
  out += body;
  out += "</main>\n</body></html>\n";
  return out;
}

}  // namespace quillet::tool
