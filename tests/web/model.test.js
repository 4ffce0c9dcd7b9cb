// The page's pure parts under node's test runner: `node --test tests/web`.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const model = require("../../panel/web/model.js");

// The table as /api/settings gives it, for the rows the geometry uses.
const table = {
  settings: [
    {name: "oscillator_period", count: 1, unit: "s", offset: 2, step: 1e-8},
    {name: "pulser_delay", count: 4, unit: "s", offset: 3, step: 1e-8},
    {name: "pulser_width", count: 4, unit: "s", offset: 2, step: 1e-8},
  ],
  sources: ["logic 0", "software trigger", "oscillator 0", "digital input 1", "digital input 2", "digital input 3",
            "digital input 4", "digital input 5", "digital input 6", "digital input 7", "pulser 1 output",
            "pulser 2 output", "pulser 3 output", "pulser 4 output", "pulser 1 run", "pulser 2 run", "pulser 3 run",
            "pulser 4 run", "timebase 2 MHz", "timebase 4 MHz"],
};

test("times read with the largest unit that keeps them at 1 or more", () => {
  const cases = [[1e-5, "10.00 µs"], [2.5, "2.500 s"], [3e-8, "30.00 ns"], [0.001, "1.000 ms"], [5e-10, "5.000e-10 s"]];
  for (const [seconds, text] of cases) assert.strictEqual(model.formatSeconds(seconds), text);
});

test("typed values are steps or times with their unit", () => {
  assert.deepStrictEqual(model.parseTyped(" 1234 "), {raw: 1234});
  assert.ok(Math.abs(model.parseTyped("3.03 us").seconds - 3.03e-6) < 1e-18);
  assert.ok(Math.abs(model.parseTyped("150ns").seconds - 1.5e-7) < 1e-18);
  assert.strictEqual(model.parseTyped("1e-6 s").seconds, 1e-6);
  assert.strictEqual(model.parseTyped("2 µs").seconds, 2e-6);
  for (const bad of ["", "1.5", "-3", "3 m", "abc", "1..2 us", "us"])
    assert.throws(() => model.parseTyped(bad), /a whole number of steps/, bad);
});

test("source names carry the negation and stop at the known ones", () => {
  assert.strictEqual(model.sourceName(2, table.sources), "oscillator 0");
  assert.strictEqual(model.sourceName(0x21, table.sources), "negated software trigger");
  assert.strictEqual(model.sourceName(31, table.sources), "undefined");
});

test("the meaning beside a field", () => {
  assert.strictEqual(model.meaning("switch_rise_delay", {raw: 9, seconds: 4.5e-9}), "4.5 ns");
  assert.strictEqual(model.meaning("pulser_delay", {raw: 0, seconds: 3e-8}), "30.00 ns");
  assert.strictEqual(model.meaning("trigger_mapping_on", {raw: 1}), "on");
  assert.strictEqual(model.meaning("burst_size", {raw: 3}), "");
});

// The settings of a snapshot from raw values; the seconds as the console program shows them:
// period (raw + 2) x 10 ns, delay (raw + 3) x 10 ns, width (raw + 2) x 10 ns.
function settingsOf({period = 998, delays = [0, 0, 0, 0], widths = [98, 98, 98, 98], bursts = [0, 0],
                     selectors = [2, 0, 0, 0, 0, 0], triggers = [0, 0, 0, 0], enables = [0, 0, 0, 0]}) {
  const raw = (r) => ({raw: r});
  return {
    oscillator_period: {raw: period, seconds: (period + 2) * 1e-8},
    pulser_delay: delays.map((r) => ({raw: r, seconds: (r + 3) * 1e-8})),
    pulser_width: widths.map((r) => ({raw: r, seconds: (r + 2) * 1e-8})),
    burst_size: bursts.map(raw), source_selector: selectors.map(raw),
    switch_trigger_source: triggers.map(raw), switch_enable_source: enables.map(raw),
    trigger_mapping_on: raw(0), enable_mapping_on: raw(1),
  };
}
const lanesOf = (spec) => model.diagramLanes(settingsOf(spec), table);
// Pulses in ns, rounded, to compare with times worked out by hand.
const ns = (pulses) => pulses.map(([a, b]) => [Math.round(a * 1e9), Math.round(b * 1e9)]);

test("the oscillator fires pulser 1 each period; a source of logic 0 never", () => {
  const lanes = lanesOf({});
  assert.deepStrictEqual(lanes.map((l) => l.name), ["oscillator", "pulser 1", "pulser 2", "pulser 3", "pulser 4",
                                                     "switch 1", "switch 2", "switch 3", "switch 4"]);
  assert.deepStrictEqual(ns(lanes[0].pulses), [[0, 20], [10000, 10020]]);
  assert.deepStrictEqual(ns(lanes[1].pulses), [[30, 1030], [10030, 11030]]);
  assert.deepStrictEqual([lanes[2].pulses, lanes[2].label], [[], "never"]);
});

test("-P0B3 -P2C10 -P4C35: a burst of 3, a pulser chained to it, one fired by a digital input", () => {
  const lanes = lanesOf({bursts: [3, 0], selectors: [2, 0, 10, 0, 35, 0]});
  // Each pulse of a burst begins a delay (30 ns) after the end of the one before.
  assert.deepStrictEqual(ns(lanes[1].pulses), [[30, 1030], [1060, 2060], [2090, 3090],
                                               [10030, 11030], [11060, 12060], [12090, 13090]]);
  // Pulser 2 begins its delay after each pulse of pulser 1 begins.
  assert.deepStrictEqual(ns(lanes[2].pulses).map((p) => p[0]), [60, 1090, 2120, 10060, 11090, 12120]);
  // Pulser 3 fires once, from outside, named.
  assert.deepStrictEqual(ns(lanes[3].pulses), [[30, 1030]]);
  assert.strictEqual(lanes[3].label, "on negated digital input 1");
});

test("a negated oscillator fires on the end of its pulse", () => {
  assert.deepStrictEqual(ns(lanesOf({selectors: [0x22, 0, 0, 0, 0, 0]})[1].pulses), [[50, 1050], [10050, 11050]]);
});

test("a width beyond the period is cut where the next pulse begins, and marked", () => {
  const lane = lanesOf({period: 98, widths: [198, 98, 98, 98]})[1];  // 1 us period, 2 us width
  assert.deepStrictEqual(ns(lane.pulses), [[30, 1030], [1030, 3030]]);  // the last one runs past the span
  assert.deepStrictEqual(lane.clipped, [0]);
  for (let i = 0; i + 1 < lane.pulses.length; i++) assert.ok(lane.pulses[i][1] <= lane.pulses[i + 1][0]);
});

test("a stop source ends the burst", () => {
  // Pulser 3 fires 1.53 us after each period begins and stops pulser 1's burst of 3 after two.
  const lanes = lanesOf({bursts: [3, 0], delays: [0, 0, 150, 0], selectors: [2, 12, 0, 0, 2, 0]});
  assert.deepStrictEqual(ns(lanes[3].pulses).map((p) => p[0]), [1530, 11530]);
  assert.deepStrictEqual(ns(lanes[1].pulses).map((p) => p[0]), [30, 1060, 10030, 11060]);
});

test("switches follow their trigger source, inverted when negated; two pulsers firing each other loop", () => {
  const lanes = lanesOf({triggers: [10, 0x2A, 3, 0], enables: [0, 0, 0, 1]});
  assert.deepStrictEqual(lanes[5].pulses, lanes[1].pulses);
  assert.deepStrictEqual(ns(lanes[6].pulses), [[0, 30], [1030, 10030], [11030, 20000]]);
  assert.strictEqual(lanes[7].label, "on digital input 1, enable: logic 0, mappings off/on");
  assert.strictEqual(lanes[8].label, "enable: software trigger, mappings off/on");
  const loop = lanesOf({selectors: [11, 0, 10, 0, 0, 0]});
  assert.deepStrictEqual([loop[1].pulses, loop[2].pulses], [[], []]);
});

test("a lane's polyline stays within the span", () => {
  // A pulse from 25 % to 75 % of the span, and one that starts beyond it (not drawn).
  assert.strictEqual(model.lanePoints([[1, 3], [5, 6]], 4, 0, 100, 0), "0,28 25,28 25,6 75,6 75,28 100,28");
  // A pulse running past the end is cut at the end.
  assert.strictEqual(model.lanePoints([[2, 9]], 4, 10, 100, 20), "10,48 60,48 60,26 110,26 110,48 110,48");
});
