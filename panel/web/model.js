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

  // The pulse diagram over two oscillator periods, as the device's settings make it: each lane
  // {name, pulses: [[start, end], ...], clipped: [index, ...], label} in seconds.
  // - A pulser fires from its trigger source: the oscillator (each period), another pulser's output
  //   or run (chained: when that one's pulse begins), or an event from outside (software trigger,
  //   a digital input, a timebase: drawn as one event at 0, named in the label); logic 0 never.
  //   A negated source fires on its falling edge instead (the end of the pulse it follows).
  // - Its first pulse begins its delay after the event; with a burst size n (pulsers 1 and 2)
  //   n pulses follow one another, each a delay after the end of the one before; its stop source,
  //   when it fires, ends the burst.
  // - A pulse that would run into the next one is cut where the next begins, and marked.
  // - A switch follows its trigger source (inverted when negated); its label names the enable
  //   source and the mapping.
  const kTrigger = [0, 2, 4, 5];  // the source selector of each pulser's trigger
  const kStop = [1, 3];           // of pulsers 1 and 2's stop

  function pulserOf(index) {
    if (index >= 10 && index <= 13) return {pulser: index - 10, run: false};
    if (index >= 14 && index <= 17) return {pulser: index - 14, run: true};
    return null;
  }

  function diagramLanes(settings, table) {
    const period = settings.oscillator_period.seconds, span = 2 * period;
    const tick = secondsOf(table, "oscillator_period", 0);
    const sel = (i) => settings.source_selector[i].raw;
    const done = [], busy = [];

    // The times at which a source fires within the span, with a label for what the page cannot see.
    function events(selector) {
      const index = selector & 0x1f, negated = (selector & 0x20) !== 0;
      if (index === 2) return {times: negated ? [tick, period + tick] : [0, period], label: ""};
      const chained = pulserOf(index);
      if (chained) {
        const lane = pulser(chained.pulser);
        if (!lane.pulses.length) return {times: [], label: lane.label};
        const firsts = chained.run ? lane.bursts : lane.pulses;
        return {times: firsts.map((pulse) => (negated ? pulse[1] : pulse[0])), label: ""};
      }
      if (index === 0) return negated ? {times: [0], label: "always (negated logic 0)"} : {times: [], label: "never"};
      const name = (negated ? "negated " : "") + (table.sources[index] || "undefined");
      return {times: [0], label: "on " + name};
    }

    function pulser(p) {
      if (done[p]) return done[p];
      if (busy[p]) return {pulses: [], bursts: [], clipped: [], label: "loop"};
      busy[p] = true;
      const d = settings.pulser_delay[p].seconds, w = settings.pulser_width[p].seconds;
      const n = p < 2 ? Math.max(1, settings.burst_size[p].raw) : 1;
      const trigger = events(sel(kTrigger[p]));
      const stop = p < 2 && (sel(kStop[p]) & 0x1f) !== 0 ? events(sel(kStop[p])).times : [];
      const pulses = [], bursts = [];
      for (const t of trigger.times) {
        const stopAt = stop.filter((x) => x > t).concat([Infinity])[0];
        let start = t + d;
        const first = pulses.length;
        for (let k = 0; k < n && start < span && start < stopAt; k++, start += w + d) pulses.push([start, start + w]);
        if (pulses.length > first) bursts.push([pulses[first][0], pulses[pulses.length - 1][1]]);
      }
      pulses.sort((a, b) => a[0] - b[0]);
      const clipped = [];
      for (let i = 0; i + 1 < pulses.length; i++)
        if (pulses[i][1] > pulses[i + 1][0]) { pulses[i][1] = pulses[i + 1][0]; clipped.push(i); }
      busy[p] = false;
      done[p] = {pulses, bursts, clipped, label: trigger.label};
      return done[p];
    }

    const lanes = [{name: "oscillator", pulses: [[0, tick], [period, period + tick]], clipped: [], label: ""}];
    for (let p = 0; p < 4; p++) {
      const lane = pulser(p);
      lanes.push({name: "pulser " + (p + 1), pulses: lane.pulses, clipped: lane.clipped, label: lane.label});
    }
    const on = (name) => settings[name + "_mapping_on"].raw ? "on" : "off";
    for (let k = 0; k < 4; k++) {
      const trigger = settings.switch_trigger_source[k].raw, enable = settings.switch_enable_source[k].raw;
      const source = pulserOf(trigger & 0x1f);
      let pulses = [], label = "";
      if (source) {
        const followed = pulser(source.pulser);
        pulses = (source.run ? followed.bursts : followed.pulses).map((x) => x.slice());
        if (trigger & 0x20) pulses = invert(pulses, span);
      } else if ((trigger & 0x1f) === 2) {
        pulses = lanes[0].pulses.map((x) => x.slice());
        if (trigger & 0x20) pulses = invert(pulses, span);
      } else if (trigger !== 0) {
        label = "on " + sourceName(trigger, table.sources);
      }
      label = [label, "enable: " + sourceName(enable, table.sources),
               "mappings " + on("trigger") + "/" + on("enable")].filter(Boolean).join(", ");
      lanes.push({name: "switch " + (k + 1), pulses, clipped: [], label});
    }
    return lanes;
  }

  // The low stretches of a signal made of pulses, as pulses.
  function invert(pulses, span) {
    const out = [];
    let from = 0;
    for (const [a, b] of pulses) {
      if (a > from) out.push([from, a]);
      from = Math.max(from, b);
    }
    if (from < span) out.push([from, span]);
    return out;
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

  return {formatSeconds, parseTyped, sourceName, meaning, secondsOf, diagramLanes, invert, lanePoints};
})();

if (typeof module !== "undefined") module.exports = PanelModel;
