"use strict";
// The token for the POST headers comes with the page; a cookie lets reloads and bookmarks in, so
// the token leaves the address bar.
const token = document.querySelector('meta[name="kestravo-token"]').content ||
              new URLSearchParams(location.search).get("token") || "";
if (new URLSearchParams(location.search).has("token")) history.replaceState(null, "", location.pathname);
const $ = (id) => document.getElementById(id);
let table = null, version = -1;

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
function showError(e) {
  $("error").textContent = e ? String(e.message || e) : "";
  delete $("error").dataset.fromState;
}
// The device's own trouble, shown until it answers again.
function showStateError(text) {
  $("error").textContent = text;
  $("error").dataset.fromState = "1";
}
function clearStateError() { if ($("error").dataset.fromState) showError(null); }
const fmtSeconds = PanelModel.formatSeconds;
function el(tag, attrs, text) {
  const e = document.createElementNS(tag === "svg" || /^(line|rect|polyline|text|path|g)$/.test(tag)
      ? "http://www.w3.org/2000/svg" : "http://www.w3.org/1999/xhtml", tag);
  for (const k in attrs || {}) e.setAttribute(k, attrs[k]);
  if (text !== undefined) e.textContent = text;
  return e;
}
function sourceName(sel) { return PanelModel.sourceName(sel, table ? table.sources : []); }
// A typed value: raw device steps, or a time with its unit for the settings that are times; the
// device's read-back replaces it.
async function change(setting, index, text, input) {
  try {
    if (text.trim() === "") { input.value = input.dataset.raw; return; }
    const body = Object.assign({setting, index}, PanelModel.parseTyped(text));
    const result = await api("/api/set", body);
    markField(input, setting, index, null);
    input.dataset.raw = result.value.raw;
    if (input !== document.activeElement && input.type !== "checkbox") input.value = result.value.raw;
    showError(null);
    await refresh(true);
  } catch (e) {
    const indexed = table.settings.find((r) => r.name === setting).count > 1;
    showError(new Error(setting.replace(/_/g, " ") + (indexed ? " #" + (index + 1) : "") + ": " + e.message));
    markField(input, setting, index, e.message);
  }
}
// A refused entry stays in its field, marked, with the reason beside it until it is typed again.
function markField(input, setting, index, why) {
  input.classList.toggle("invalid", Boolean(why));
  if (why) input.setAttribute("aria-invalid", "true"); else input.removeAttribute("aria-invalid");
  const beside = document.querySelector('[data-meaning="' + setting + "-" + index + '"]');
  if (beside && why) beside.textContent = why;
  if (beside) beside.classList.toggle("error-text", Boolean(why));
}
function editor(setting, index, value) {
  const input = el("input", {class: "raw", type: "text", inputmode: "decimal", "data-setting": setting,
                             "data-index": index,
                             title: "steps, or a time with its unit (s, ms, us, ns)"});
  input.value = value.raw;
  input.dataset.raw = value.raw;
  input.addEventListener("change", () => change(setting, index, input.value, input));
  input.addEventListener("input", () => markField(input, setting, index, null));
  return input;
}
// The value of a setting's index in the snapshot (settings without an index have one value).
function valueAt(s, setting, index) { return Array.isArray(s[setting]) ? s[setting][index] : s[setting]; }
function row(cells) {
  const tr = el("tr");
  for (const c of cells) {
    const td = el("td");
    if (c instanceof Node) td.appendChild(c); else td.textContent = c;
    tr.appendChild(td);
  }
  return tr;
}
function drawDiagram(s) {
  const svg = $("diagram"); svg.replaceChildren();
  const period = s.oscillator_period.seconds, span = 2 * period, x0 = 90, w = 650;
  const x = (t) => x0 + Math.min(Math.max(t / span, 0), 1) * w;
  const lanes = PanelModel.diagramLanes(s, table);
  const height = 40 + lanes.length * 40;
  svg.setAttribute("viewBox", "0 0 760 " + height);
  svg.setAttribute("height", height);
  lanes.forEach((lane, i) => {
    const y = 20 + i * 40;
    svg.appendChild(el("text", {x: 4, y: y + 22}, lane.name));
    const points = PanelModel.lanePoints(lane.pulses, span, x0, w, y);
    svg.appendChild(el("polyline", {points, fill: "none", stroke: i ? "#1f6fb5" : "#555", "stroke-width": 2,
                                    "data-lane": lane.name}));
    // A pulse cut where the next one begins carries a mark.
    for (const k of lane.clipped)
      svg.appendChild(el("text", {x: x(lane.pulses[k][1]) - 8, y: y + 4, "data-clipped": lane.name}, "✂"));
    if (lane.label) svg.appendChild(el("text", {x: x0 + 4, y: y + 2, class: "lane-label"}, lane.label));
  });
  svg.appendChild(el("text", {x: x0, y: height - 2}, "0"));
  svg.appendChild(el("text", {x: x0 + w / 2 - 20, y: height - 2}, fmtSeconds(period)));
  svg.appendChild(el("text", {x: x0 + w - 50, y: height - 2}, fmtSeconds(span)));
}
// A source selector chosen from the source names (bit 5 negates); a byte outside them is shown
// as the device holds it.
function sourcePicker(setting, index) {
  const select = el("select", {"data-setting": setting, "data-index": index});
  // A DIO output takes every source; pulsers, bursts and switches the signal sources.
  const count = /^dio_/.test(setting) ? table.sources.length : table.signal_sources;
  for (const negated of [0, 0x20])
    for (let i = 0; i < count; i++)
      select.appendChild(el("option", {value: i | negated}, sourceName(i | negated)));
  select.addEventListener("change", () => change(setting, index, select.value, select));
  return select;
}
const meaning = PanelModel.meaning;
// A DIO's direction, by name.
function directionPicker(setting, index) {
  const select = el("select", {"data-setting": setting, "data-index": index});
  ["input", "terminated input", "output"].forEach((name, i) => select.appendChild(el("option", {value: i}, name)));
  select.addEventListener("change", () => change(setting, index, select.value, select));
  return select;
}
function field(setting, index, s, small) {
  const cell = el("span");
  const input = /source/.test(setting) ? sourcePicker(setting, index)
              : setting === "dio_direction" ? directionPicker(setting, index)
              : editor(setting, index, valueAt(s, setting, index));
  if (small) input.className = "small";
  // Screen readers name every control: the setting and its index as the tables show them.
  const count = table.settings.find((r) => r.name === setting).count;
  input.setAttribute("aria-label", setting.replace(/_/g, " ") + (count > 1 ? " " + (index + 1) : ""));
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
                        field("switch_enable_delay", k, s, true), field("switch_rise_delay", k, s, true),
                        field("switch_fall_delay", k, s, true)]));
  for (const m of ["trigger", "enable"]) {
    const entries = el("span");
    for (let i = 0; i < 5; i++) entries.append(field(m + "_mapping", i, s, true), " ");
    sw.appendChild(row([m + " mapping", field(m + "_mapping_on", 0, s, true), entries]));
    sw.lastChild.lastChild.colSpan = 4;
  }
  const dios = $("dios");
  dios.appendChild(row(["", "direction", "output source"]));
  for (let d = 0; d < 7; d++)
    dios.appendChild(row(["DIO" + d, field("dio_direction", d, s), field("dio_output_source", d, s)]));
  buildController();
}
// The controller's configuration bits and the device enable, each changed only after a
// confirmation, as the software trigger is; on and off told in words.
const controllerBits = [[0, "device enable"], [1, "oscillator enable"], [2, "pulser enable"],
                        [5, "prevent device disable"], [6, "dithering disable"]];
function buildController() {
  const box = $("controller");
  for (const [bit, name] of controllerBits) {
    const input = el("input", {type: "checkbox", id: "bit-" + bit, "data-bit": bit});
    const label = el("label", {for: "bit-" + bit}, name);
    const state = el("span", {class: "onoff", "data-bit-state": bit});
    input.addEventListener("change", async () => {
      const config = Number(input.dataset.config) ^ (1 << bit);
      const word = config.toString(16).toUpperCase().padStart(2, "0") + "h";
      if (!confirm("Set the controller configuration to " + word + " (" + name + " " +
                   (input.checked ? "on" : "off") + ")?")) {
        input.checked = !input.checked;
        return;
      }
      await change("controller_config", 0, String(config), input);
    });
    const line = el("div");
    line.append(input, " ", label, " ", state);
    box.append(line);
  }
}
function drawController(s) {
  const config = s.controller_config.raw;
  for (const input of document.querySelectorAll("#controller [data-bit]")) {
    const on = (config >> Number(input.dataset.bit) & 1) === 1;
    input.dataset.config = config;
    if (input !== document.activeElement) input.checked = on;
    document.querySelector('[data-bit-state="' + input.dataset.bit + '"]').textContent = on ? "on" : "off";
  }
}
function drawTiming(s) {
  if (!$("timing").dataset.built) { buildTables(s); $("timing").dataset.built = "1"; }
  drawController(s);
  for (const input of document.querySelectorAll("#timing [data-setting], #switches [data-setting], " +
                                                 "#dios [data-setting]")) {
    const setting = input.dataset.setting, v = valueAt(s, setting, Number(input.dataset.index));
    input.dataset.raw = v.raw;
    if (input.tagName === "SELECT" && !input.querySelector('option[value="' + v.raw + '"]'))
      input.appendChild(el("option", {value: v.raw}, sourceName(v.raw) + " (" + v.raw + ")"));
    if (input.classList.contains("invalid")) continue;  // the refused entry and its reason stay
    if (input !== document.activeElement && input.value !== String(v.raw)) input.value = v.raw;
    const beside = document.querySelector('[data-meaning="' + setting + "-" + input.dataset.index + '"]');
    if (beside) beside.textContent = meaning(setting, v);
  }
}
function bits(word) {
  const span = el("span");
  // Each bit told in words as well as by colour.
  for (const k in word)
    if (k !== "value")
      span.appendChild(el("span", {class: "bit" + (word[k] ? " on" : "")},
                          k.replace(/_/g, " ") + (word[k] ? ": on" : ": off")));
  return span;
}
function drawHealth(s) {
  const h = s.health;
  const id = s.identity;
  $("identity").textContent = id.product_id + " #" + id.product_no + ", firmware " + id.fw_version;
  const master = h.controller_state.master_enable;
  $("master").textContent = master ? "MASTER ENABLE" : "master disabled";
  $("master").className = "state big " + (master ? "warn" : "ok");
  $("interlock").textContent = h.main_state.text;
  $("interlock").className = "state " + (h.main_state.value === 0 ? "ok" : "bad");
  const st = $("states"); st.replaceChildren();
  st.append("controller ", bits(h.controller_state), el("br"), "device ", bits(h.device_state));
  const t = $("health"); t.replaceChildren();
  const hk = h.housekeeping;
  const volts = [hk.volt_12v, hk.volt_5v0, hk.volt_3v3].map((v) => v.toFixed(3) + " V");
  t.appendChild(row(["supplies", volts.join(", ")]));
  const sensors = h.sensors.map((v) => v.toFixed(2)).join(", ");
  t.appendChild(row(["temperatures", "CPU " + hk.cpu_temp.toFixed(2) + " °C, sensors " + sensors + " °C"]));
  const fans = h.fans.map((f, i) => "#" + (i + 1) + " " + (f.failed ? "FAILED " : "") + f.measured_rpm + " rpm");
  t.appendChild(row(["fans", fans.join(", ")]));
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
  const hour = Math.ceil(3600 * 1000 / Math.max(t.spacing_ms, t.interval_ms));
  if (trend.length > hour) trend.splice(0, trend.length - hour);
  const svg = $("trend"); svg.replaceChildren();
  if (trend.length < 2) return;
  const step = Math.ceil(trend.length / 400), xs = trend.filter((s, i) => i % step === 0 || i === trend.length - 1);
  const plot = (key, color, lo, hi) => {
    const pts = xs.map((s, i) => (i / (xs.length - 1) * 400).toFixed(1) + "," +
                                 (110 - (s[key] - lo) / (hi - lo || 1) * 100).toFixed(1));
    svg.appendChild(el("polyline", {points: pts.join(" "), fill: "none", stroke: color, "stroke-width": 1.5,
                                    "data-series": key}));
  };
  const range = (key) => [Math.min(...xs.map((s) => s[key])) - 0.5, Math.max(...xs.map((s) => s[key])) + 0.5];
  plot("volt_12v", "#2e86de", ...range("volt_12v"));
  plot("cpu_temp", "#c0392b", ...range("cpu_temp"));
  const apart = fmtSeconds(t.spacing_ms / 1000), covered = fmtSeconds(t.spacing_ms * (trend.length - 1) / 1000);
  svg.appendChild(el("text", {x: 2, y: 12},
                     trend.length + " samples " + apart + " apart (" + covered + "): 12 V (blue), CPU °C (red)"));
}
// The changes made through the panel, newest last.
async function drawLog() {
  const log = await api("/api/log");
  const list = $("log");
  list.replaceChildren(...log.lines.map((line) => el("li", {}, line)));
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
  try {
    await api("/api/config/" + action, Object.assign({number}, extra || {}));
    showError(null); await listConfigs(); await refresh(true);
  }
  catch (e) { showError(e); }
}
async function refresh(force) {
  try {
    const s = await api("/api/state");
    showMode(s);
    if (!s.connected) {
      // The last values stay, greyed, with the time they were read.
      const since = s.read_at ? " (values of " + new Date(s.read_at * 1000).toLocaleTimeString() + ")" : "";
      $("link").textContent = "disconnected" + since;
      document.body.classList.toggle("stale", Boolean(s.stale));
      showStateError(s.error);
      return;
    }
    $("link").textContent = "connected";
    document.body.classList.remove("stale");
    clearStateError();
    if (!force && s.version === version) return;
    version = s.version;
    drawDiagram(s.settings); drawTiming(s.settings); drawHealth(s);
    await drawLog();
    showMode(s);  // the fields just built are disabled too when read-only
    await drawTrend();
  } catch (e) {
    $("link").className = "state bad";
    if (/wrong token/.test(e.message)) {
      // A panel started anew has a new token: this page's no longer opens anything.
      $("link").textContent = "token no longer valid";
      showStateError("This page's access token is no longer valid (the panel was started anew): open the " +
                     "address the panel printed when it started.");
    } else {
      $("link").textContent = "no answer";
    }
  }
}
// The header's badges: the link, a long operation's progress, read-only (every control off).
function showMode(s) {
  $("link").className = "state " + (s.connected ? "ok" : "bad");
  $("busy").textContent = s.busy ? s.busy.what + ": " + Math.floor(100 * s.busy.done / (s.busy.total || 1)) + " %"
                                 : "";
  $("mode").textContent = s.read_only ? "READ-ONLY" : "";
  if (s.read_only)
    for (const c of document.querySelectorAll("main input, main select, main button"))
      if (c.id !== "list") c.disabled = true;
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
  $("file-one").onclick = () => {
    $("file-one").href = "/api/config/file?number=" + place() + "&token=" + encodeURIComponent(token);
  };
  $("file-all").href = "/api/config/file?token=" + encodeURIComponent(token);
  $("backup").href = "/api/memory/backup?token=" + encodeURIComponent(token);
  $("upload").onchange = async () => {
    const file = $("upload").files[0]; if (!file) return;
    const one = $("upload-to").value === "place";
    const question = one ? "Overwrite configuration #" + (place() + 1) + " from " + file.name + "?"
                         : "Overwrite the places " + file.name + " holds?";
    if (!confirm(question)) return;
    try {
      await api("/api/config/upload", Object.assign({text: await file.text()}, one ? {number: place()} : {}));
      showError(null); await listConfigs();
    }
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
