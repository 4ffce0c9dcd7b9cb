// The panel's one page: HTML, CSS and JavaScript of its own, no framework and nothing fetched
// from elsewhere. It reads /api/state once a second and redraws when the snapshot is new.
#pragma once

namespace panel {

inline constexpr char kPage[] = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>KESTRAVO front panel</title>
<link rel="icon" href="data:,">
<style>
body{font-family:system-ui,sans-serif;margin:0;background:#f4f5f7;color:#1d2430}
header{background:#1d2430;color:#fff;padding:.6em 1em;display:flex;gap:1.5em;align-items:center;flex-wrap:wrap}
header .state{font-weight:bold;padding:.2em .6em;border-radius:4px}
.ok{background:#1f8a4c;color:#fff}.bad{background:#c0392b;color:#fff}.warn{background:#d68910;color:#fff}
main{display:grid;grid-template-columns:minmax(520px,3fr) minmax(320px,2fr);gap:1em;padding:1em}
section{background:#fff;border-radius:6px;padding:.8em 1em;box-shadow:0 1px 3px #0002}
h2{font-size:1.05em;margin:.2em 0 .6em}
table{border-collapse:collapse;width:100%;font-size:.9em}td,th{padding:.15em .4em;text-align:left;border-bottom:1px solid #eee}
input.raw{width:6.5em}input.small{width:2.5em}select{max-width:10.5em}#switches td{white-space:nowrap}section{overflow-x:auto}
.bit{display:inline-block;margin:.1em;padding:.1em .4em;border-radius:3px;background:#e8eaee;font-size:.85em}
.bit.on{background:#2e86de;color:#fff}.big{font-size:1.2em;padding:.2em .6em}
#error{color:#c0392b;min-height:1.2em}
svg text{font-size:11px;fill:#333}
</style></head><body>
<header><strong>KESTRAVO</strong><span id="identity">…</span><span id="link" class="state">…</span>
<span id="master" class="state big">…</span><span id="interlock" class="state">…</span></header>
<div id="error" role="alert"></div>
<main>
<div>
<section><h2>Pulse sequence</h2><svg id="diagram" width="100%" height="230" viewBox="0 0 760 230"></svg>
<table id="timing"></table></section>
<section><h2>High-voltage switches</h2><table id="switches"></table></section>
</div>
<div>
<section><h2>Health</h2><div id="states"></div><table id="health"></table>
<svg id="trend" width="100%" height="120" viewBox="0 0 400 120"></svg>
<a id="csv" href="#">Trend as CSV</a></section>
<section><h2>Stored configurations</h2>
<div>Place <input id="place" class="small" type="number" min="1" max="126" value="1">
<button id="save">Save current here</button> <button id="load">Load</button>
<input id="name" maxlength="51" placeholder="name"> <button id="rename">Name</button>
<button id="delete">Delete</button> <button id="list">Refresh list</button></div>
<div>File: <a id="file-one" href="#">this place</a>, <a id="file-all" href="#">all places</a>;
upload <input id="upload" type="file" accept=".ini,.txt,text/plain"> into <select id="upload-to">
<option value="place">this place</option><option value="all">the places it holds</option></select></div>
<table id="configs"></table></section>
<section><h2>Maintenance</h2>
<div><a id="backup" href="#">Memory data backup</a>; restore from <input id="restore" type="file" accept=".txt,text/plain"></div>
<div><button id="trigger">Software trigger</button></div></section>
</div>
</main>
<script>
"use strict";
const token = new URLSearchParams(location.search).get("token") || "";
const $ = (id) => document.getElementById(id);
let table = null, version = -1, last = null;

async function api(path, body) {
  const init = {headers: {"X-Kestravo-Token": token}};
  if (body !== undefined) {
    init.method = "POST";
    init.headers["Content-Type"] = "application/json";
    init.body = JSON.stringify(body);
  }
  const response = await fetch(path, init);
  const json = await response.json();
  if (!response.ok) throw new Error(json.error || response.statusText);
  return json;
}
function showError(e) { $("error").textContent = e ? String(e.message || e) : ""; }
function fmtSeconds(s) {
  const units = [[1, "s"], [1e-3, "ms"], [1e-6, "µs"], [1e-9, "ns"]];
  for (const [f, u] of units) if (s >= f) return (s / f).toPrecision(4) + " " + u;
  return s.toPrecision(4) + " s";
}
function el(tag, attrs, text) {
  const e = document.createElementNS(tag === "svg" || /^(line|rect|polyline|text|path|g)$/.test(tag)
      ? "http://www.w3.org/2000/svg" : "http://www.w3.org/1999/xhtml", tag);
  for (const k in attrs || {}) e.setAttribute(k, attrs[k]);
  if (text !== undefined) e.textContent = text;
  return e;
}
function sourceName(sel) {
  const n = table ? table.sources : [];
  return (sel & 0x20 ? "negated " : "") + (n[sel & 0x1f] || "undefined");
}
// A typed value: raw device steps ("1234"), or a time with its unit ("3.03 us", "150ns", "1e-6 s")
// for the settings that are times; the device's read-back replaces it.
const units = {s: 1, ms: 1e-3, us: 1e-6, "µs": 1e-6, ns: 1e-9};
async function change(setting, index, text, input) {
  try {
    const typed = text.trim();
    if (typed === "") { input.value = input.dataset.raw; return; }
    const m = typed.match(/^([0-9.eE+-]+)\s*(s|ms|us|µs|ns)$/);
    const body = {setting, index};
    if (m) body.seconds = Number(m[1]) * units[m[2]];
    else if (/^[0-9]+$/.test(typed)) body.raw = Number(typed);
    else throw new Error("a whole number of steps, or a time such as 3.03 us");
    const result = await api("/api/set", body);
    input.dataset.raw = result.value.raw;
    if (input !== document.activeElement) input.value = result.value.raw;
    showError(null);
    await refresh(true);
  } catch (e) {
    const indexed = table.settings.find((r) => r.name === setting).count > 1;
    showError(new Error(setting.replace(/_/g, " ") + (indexed ? " #" + (index + 1) : "") + ": " + e.message));
  }
}
function editor(setting, index, value) {
  const input = el("input", {class: "raw", type: "text", inputmode: "decimal", "data-setting": setting, "data-index": index,
                             title: "steps, or a time with its unit (s, ms, us, ns)"});
  input.value = value.raw;
  input.dataset.raw = value.raw;
  input.addEventListener("change", () => change(setting, index, input.value, input));
  return input;
}
// The value of a setting's index in the snapshot (settings without an index have one value).
function valueOf(s, setting, index) { return Array.isArray(s[setting]) ? s[setting][index] : s[setting]; }
function row(cells) {
  const tr = el("tr");
  for (const c of cells) { const td = el("td"); if (c instanceof Node) td.appendChild(c); else td.textContent = c; tr.appendChild(td); }
  return tr;
}
function drawDiagram(s) {
  const svg = $("diagram"); svg.replaceChildren();
  const period = s.oscillator_period.seconds, span = 2 * period, x0 = 90, w = 650;
  const x = (t) => x0 + Math.min(Math.max(t / span, 0), 1) * w;
  const lanes = [["oscillator", [[0, 1e-8 * 2], [period, period + 2e-8]]]];
  for (let p = 0; p < 4; p++) {
    const d = s.pulser_delay[p].seconds, wd = s.pulser_width[p].seconds;
    lanes.push(["pulser " + (p + 1), [[d, d + wd], [period + d, period + d + wd]]]);
  }
  lanes.forEach(([name, pulses], i) => {
    const y = 20 + i * 40;
    svg.appendChild(el("text", {x: 4, y: y + 22}, name));
    let points = x0 + "," + (y + 28);
    for (const [a, b] of pulses) {
      if (a >= span) continue;
      points += " " + x(a) + "," + (y + 28) + " " + x(a) + "," + (y + 6) + " " + x(b) + "," + (y + 6) + " " + x(b) + "," + (y + 28);
    }
    points += " " + (x0 + w) + "," + (y + 28);
    svg.appendChild(el("polyline", {points, fill: "none", stroke: i ? "#2e86de" : "#555", "stroke-width": 2, "data-lane": name}));
  });
  svg.appendChild(el("text", {x: x0, y: 228}, "0"));
  svg.appendChild(el("text", {x: x0 + w / 2 - 20, y: 228}, fmtSeconds(period)));
  svg.appendChild(el("text", {x: x0 + w - 50, y: 228}, fmtSeconds(span)));
}
// A source selector chosen from the source names (bit 5 negates); a byte outside them is shown
// as the device holds it.
function sourcePicker(setting, index) {
  const select = el("select", {"data-setting": setting, "data-index": index});
  for (const negated of [0, 0x20])
    for (let i = 0; i < table.signal_sources; i++) select.appendChild(el("option", {value: i | negated}, sourceName(i | negated)));
  select.addEventListener("change", () => change(setting, index, select.value, select));
  return select;
}
// What a raw value means, shown beside its field.
function meaning(setting, v) {
  if (v.seconds !== undefined) return fmtSeconds(v.seconds);
  if (/^switch_.*_delay$/.test(setting)) return (v.raw * 0.5) + " ns";
  if (/_on$/.test(setting)) return v.raw ? "on" : "off";
  return "";
}
function field(setting, index, s, small) {
  const cell = el("span");
  const input = /source/.test(setting) ? sourcePicker(setting, index) : editor(setting, index, valueOf(s, setting, index));
  if (small) input.className = "small";
  cell.append(input, " ", el("span", {"data-meaning": setting + "-" + index}));
  return cell;
}
// The timing and switch tables are built once; later snapshots update their values in place,
// never the field being typed in.
function buildTables(s) {
  const t = $("timing");
  t.appendChild(row(["", "delay", "width", "trigger source", "stop source", "burst"]));
  t.appendChild(row(["oscillator period", field("oscillator_period", 0, s), "", "", "", ""]));
  const trigger = [0, 2, 4, 5];
  for (let p = 0; p < 4; p++)
    t.appendChild(row(["pulser " + (p + 1), field("pulser_delay", p, s), field("pulser_width", p, s),
                       field("source_selector", trigger[p], s), p < 2 ? field("source_selector", 2 * p + 1, s) : "",
                       p < 2 ? field("burst_size", p, s) : ""]));
  const sw = $("switches");
  sw.appendChild(row(["", "trigger source", "enable source", "enable delay", "rise", "fall"]));
  for (let k = 0; k < 4; k++)
    sw.appendChild(row(["switch " + (k + 1), field("switch_trigger_source", k, s), field("switch_enable_source", k, s),
                        field("switch_enable_delay", k, s, true), field("switch_rise_delay", k, s, true), field("switch_fall_delay", k, s, true)]));
  for (const m of ["trigger", "enable"]) {
    const entries = el("span");
    for (let i = 0; i < 5; i++) entries.append(field(m + "_mapping", i, s, true), " ");
    sw.appendChild(row([m + " mapping", field(m + "_mapping_on", 0, s, true), entries]));
    sw.lastChild.lastChild.colSpan = 4;
  }
}
function drawTiming(s) {
  if (!$("timing").dataset.built) { buildTables(s); $("timing").dataset.built = "1"; }
  for (const input of document.querySelectorAll("#timing [data-setting], #switches [data-setting]")) {
    const setting = input.dataset.setting, v = valueOf(s, setting, Number(input.dataset.index));
    input.dataset.raw = v.raw;
    if (input.tagName === "SELECT" && !input.querySelector('option[value="' + v.raw + '"]'))
      input.appendChild(el("option", {value: v.raw}, sourceName(v.raw) + " (" + v.raw + ")"));
    if (input !== document.activeElement && input.value !== String(v.raw)) input.value = v.raw;
    const beside = document.querySelector('[data-meaning="' + setting + "-" + input.dataset.index + '"]');
    if (beside) beside.textContent = meaning(setting, v);
  }
}
function bits(word) {
  const span = el("span");
  for (const k in word) if (k !== "value") span.appendChild(el("span", {class: "bit" + (word[k] ? " on" : "")}, k.replace(/_/g, " ")));
  return span;
}
function drawHealth(s) {
  const h = s.health;
  $("identity").textContent = s.identity.product_id + " #" + s.identity.product_no + ", firmware " + s.identity.fw_version;
  const master = h.controller_state.master_enable;
  $("master").textContent = master ? "MASTER ENABLE" : "master disabled";
  $("master").className = "state big " + (master ? "warn" : "ok");
  $("interlock").textContent = h.main_state.text;
  $("interlock").className = "state " + (h.main_state.value === 0 ? "ok" : "bad");
  const st = $("states"); st.replaceChildren();
  st.append("controller ", bits(h.controller_state), el("br"), "device ", bits(h.device_state));
  const t = $("health"); t.replaceChildren();
  const hk = h.housekeeping;
  t.appendChild(row(["supplies", hk.volt_12v.toFixed(3) + " V, " + hk.volt_5v0.toFixed(3) + " V, " + hk.volt_3v3.toFixed(3) + " V"]));
  t.appendChild(row(["temperatures", "CPU " + hk.cpu_temp.toFixed(2) + " °C, sensors " + h.sensors.map((v) => v.toFixed(2)).join(", ") + " °C"]));
  t.appendChild(row(["fans", h.fans.map((f, i) => "#" + (i + 1) + " " + (f.failed ? "FAILED " : "") + f.measured_rpm + " rpm").join(", ")]));
  t.appendChild(row(["LEDs", ["red", "green", "blue"].filter((c) => h.leds[c]).join(", ") || "dark"]));
  t.appendChild(row(["uptime", s.uptime.seconds + " s (operating " + s.uptime.operating_seconds + " s)"]));
}
// The page keeps the trend it has fetched and asks only for the samples after it.
let trend = [], trendNext = 0;
async function drawTrend() {
  const t = await api("/api/trend?since=" + trendNext);
  if (t.next < trendNext) { trend = []; trendNext = 0; return; }  // a panel started anew
  if (t.first > trendNext) trend = [];  // the panel dropped what the page had not fetched yet
  trend.push(...t.samples); trendNext = t.next;
  if (trend.length > 3600 * 1000 / t.interval_ms) trend.splice(0, trend.length - 3600 * 1000 / t.interval_ms);
  const svg = $("trend"); svg.replaceChildren();
  if (trend.length < 2) return;
  const step = Math.ceil(trend.length / 400), xs = trend.filter((s, i) => i % step === 0 || i === trend.length - 1);
  const plot = (key, color, lo, hi) => {
    const pts = xs.map((s, i) => (i / (xs.length - 1) * 400).toFixed(1) + "," + (110 - (s[key] - lo) / (hi - lo || 1) * 100).toFixed(1));
    svg.appendChild(el("polyline", {points: pts.join(" "), fill: "none", stroke: color, "stroke-width": 1.5, "data-series": key}));
  };
  const range = (key) => [Math.min(...xs.map((s) => s[key])) - 0.5, Math.max(...xs.map((s) => s[key])) + 0.5];
  plot("volt_12v", "#2e86de", ...range("volt_12v"));
  plot("cpu_temp", "#c0392b", ...range("cpu_temp"));
  svg.appendChild(el("text", {x: 2, y: 12}, trend.length + " samples, " + t.interval_ms + " ms apart: 12 V (blue), CPU °C (red)"));
}
async function listConfigs() {
  try {
    const c = await api("/api/configs");
    const t = $("configs"); t.replaceChildren();
    t.appendChild(row(["#", "name", "state"]));
    for (const p of c.places) if (p.valid)
      t.appendChild(row([String(p.number + 1), p.name || "", p.active ? "active" : "deleted"]));
  } catch (e) { showError(e); }
}
async function configAction(action, confirmText, extra) {
  const number = Number($("place").value) - 1;
  if (!(number >= 0 && number < 126)) return showError(new Error("a place from 1 to 126, please"));
  if (confirmText && !confirm(confirmText.replace("#", "#" + (number + 1)))) return;
  try { await api("/api/config/" + action, Object.assign({number}, extra || {})); showError(null); await listConfigs(); await refresh(true); }
  catch (e) { showError(e); }
}
async function refresh(force) {
  try {
    const s = await api("/api/state");
    $("link").textContent = s.connected ? "connected" : "disconnected";
    $("link").className = "state " + (s.connected ? "ok" : "bad");
    if (!s.connected) { $("error").textContent = s.error; return; }
    if (!force && s.version === version) return;
    version = s.version; last = s;
    drawDiagram(s.settings); drawTiming(s.settings); drawHealth(s);
    await drawTrend();
  } catch (e) {
    $("link").textContent = "no answer"; $("link").className = "state bad";
  }
}
async function start() {
  table = await api("/api/settings");
  $("csv").href = "/api/trend.csv?token=" + encodeURIComponent(token);
  $("save").onclick = () => configAction("save", "Overwrite configuration # with the current one?");
  $("load").onclick = () => configAction("load", "Load configuration # into the device?");
  $("rename").onclick = () => configAction("name", null, {name: $("name").value});
  $("delete").onclick = () => configAction("delete", "Delete configuration #?");
  $("list").onclick = listConfigs;
  const place = () => Number($("place").value) - 1;
  $("file-one").onclick = () => { $("file-one").href = "/api/config/file?number=" + place() + "&token=" + encodeURIComponent(token); };
  $("file-all").href = "/api/config/file?token=" + encodeURIComponent(token);
  $("backup").href = "/api/memory/backup?token=" + encodeURIComponent(token);
  $("upload").onchange = async () => {
    const file = $("upload").files[0]; if (!file) return;
    const one = $("upload-to").value === "place";
    if (!confirm(one ? "Overwrite configuration #" + (place() + 1) + " from " + file.name + "?" : "Overwrite the places " + file.name + " holds?")) return;
    try { await api("/api/config/upload", Object.assign({text: await file.text()}, one ? {number: place()} : {})); showError(null); await listConfigs(); }
    catch (e) { showError(e); } finally { $("upload").value = ""; }
  };
  $("restore").onchange = async () => {
    const file = $("restore").files[0]; if (!file) return;
    if (!confirm("All memory data will be overwritten from " + file.name + ", proceed?")) return;
    try { await api("/api/memory/restore", {text: await file.text()}); showError(null); }
    catch (e) { showError(e); } finally { $("restore").value = ""; }
  };
  $("trigger").onclick = async () => {
    if (!confirm("Issue a software trigger?")) return;
    try { await api("/api/trigger", {}); showError(null); await refresh(true); } catch (e) { showError(e); }
  };
  await refresh(true);
  await listConfigs();
  setInterval(refresh, 1000);
}
start().catch(showError);
</script></body></html>
)PAGE";

}  // namespace panel
