// The page's pure parts: time formatting, typed values, source names, what a raw value means and
// the pulse diagram's geometry. No DOM here: `node --test` tests this file on its own, and the
// page gets it as a script before panel.js.
"use strict";

const PanelModel = (() => {
  const units = {s: 1, ms: 1e-3, us: 1e-6, "µs": 1e-6, ns: 1e-9};

  // A time in seconds with four significant digits and the largest unit that keeps it at 1 or more.
  function formatSeconds(s) {
    const scale = [[1, "s"], [1e-3, "ms"], [1e-6, "µs"], [1e-9, "ns"]];
    for (const [f, u] of scale) if (s >= f) return (s / f).toPrecision(4) + " " + u;
    return s.toPrecision(4) + " s";
  }

  // A typed value: raw device steps ("1234") or a time with its unit ("3.03 us", "150ns",
  // "1e-6 s"). Gives {raw} or {seconds}; throws for anything else.
  function parseTyped(text) {
    const typed = text.trim();
    const m = typed.match(/^([0-9.eE+-]+)\s*(s|ms|us|µs|ns)$/);
    if (m && !Number.isNaN(Number(m[1]))) return {seconds: Number(m[1]) * units[m[2]]};
    if (/^[0-9]+$/.test(typed)) return {raw: Number(typed)};
    throw new Error("a whole number of steps, or a time such as 3.03 us");
  }

  // A source selector's text: "negated " for bit 5, then the name of bits 0 to 4.
  function sourceName(selector, names) {
    return (selector & 0x20 ? "negated " : "") + (names[selector & 0x1f] || "undefined");
  }

  // What a raw value means, shown beside its field.
  function meaning(setting, value) {
    if (/^switch_.*_delay$/.test(setting)) return value.raw * 0.5 + " ns";
    if (value.seconds !== undefined) return formatSeconds(value.seconds);
    if (/_on$/.test(setting)) return value.raw ? "on" : "off";
    return "";
  }

  // The time of a raw value of a setting of the table: (raw + offset) x step.
  function secondsOf(table, setting, raw) {
    const row = table.settings.find((r) => r.name === setting);
    return (raw + row.offset) * row.step;
  }

  // The lanes of the pulse diagram over two oscillator periods: [name, [[start, end], ...]] in
  // seconds. The oscillator's own pulse is its shortest period.
  function diagramLanes(settings, table) {
    const period = settings.oscillator_period.seconds;
    const tick = secondsOf(table, "oscillator_period", 0);
    const lanes = [["oscillator", [[0, tick], [period, period + tick]]]];
    for (let p = 0; p < 4; p++) {
      const d = settings.pulser_delay[p].seconds, w = settings.pulser_width[p].seconds;
      lanes.push(["pulser " + (p + 1), [[d, d + w], [period + d, period + d + w]]]);
    }
    return lanes;
  }

  // The polyline of a lane: low from x0, a high step for each pulse that starts within the span,
  // low to x0 + width; times beyond the span are drawn at its end.
  function lanePoints(pulses, span, x0, width, y) {
    const x = (t) => x0 + Math.min(Math.max(t / span, 0), 1) * width;
    let points = x0 + "," + (y + 28);
    for (const [a, b] of pulses) {
      if (a >= span) continue;
      points += " " + x(a) + "," + (y + 28) + " " + x(a) + "," + (y + 6) + " " + x(b) + "," + (y + 6);
      points += " " + x(b) + "," + (y + 28);
    }
    return points + " " + (x0 + width) + "," + (y + 28);
  }

  return {formatSeconds, parseTyped, sourceName, meaning, secondsOf, diagramLanes, lanePoints};
})();

if (typeof module !== "undefined") module.exports = PanelModel;
