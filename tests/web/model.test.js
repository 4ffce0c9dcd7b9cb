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
  sources: ["logic 0", "software trigger", "oscillator 0"],
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

test("the diagram's lanes: the oscillator's shortest period, each pulser over two periods", () => {
  const settings = {
    oscillator_period: {raw: 998, seconds: 1e-5},
    pulser_delay: [0, 1, 2, 3].map((p) => ({raw: p * 100, seconds: (p * 100 + 3) * 1e-8})),
    pulser_width: [0, 1, 2, 3].map(() => ({raw: 98, seconds: 1e-6})),
  };
  const lanes = model.diagramLanes(settings, table);
  assert.strictEqual(lanes.length, 5);
  assert.deepStrictEqual(lanes[0], ["oscillator", [[0, 2e-8], [1e-5, 1e-5 + 2e-8]]]);
  const [name, pulses] = lanes[2];
  assert.strictEqual(name, "pulser 2");
  assert.ok(Math.abs(pulses[0][0] - 1.03e-6) < 1e-15 && Math.abs(pulses[1][0] - (1e-5 + 1.03e-6)) < 1e-15);
});

test("a lane's polyline stays within the span", () => {
  // A pulse from 25 % to 75 % of the span, and one that starts beyond it (not drawn).
  assert.strictEqual(model.lanePoints([[1, 3], [5, 6]], 4, 0, 100, 0), "0,28 25,28 25,6 75,6 75,28 100,28");
  // A pulse running past the end is cut at the end.
  assert.strictEqual(model.lanePoints([[2, 9]], 4, 10, 100, 20), "10,48 60,48 60,26 110,26 110,48 110,48");
});
