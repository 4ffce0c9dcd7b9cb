#!/usr/bin/env python3
"""The console program's --json output, run against the simulated device: every line of every
reading switch is one JSON object that the schema in docs/json-schema accepts, its values are those
of the human output of the same switch (a steady simulated device), failures are error objects with
the status a strict run would end with, and the continuous displays give one object per pass.

The schema is checked by a checker of the keywords it uses (type, const, enum, pattern, minimum,
maximum, properties, required, additionalProperties, items, minItems, maxItems, oneOf, $ref), and by
the jsonschema package too where it is installed.

Usage: json_output_test.py COM-KESTRAVO-Control SCHEMA
"""
import json
import os
import re
import subprocess
import sys
import tempfile

FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
    return condition


# --- the schema checker ----------------------------------------------------------------------

TYPES = {
    "object": lambda v: isinstance(v, dict),
    "array": lambda v: isinstance(v, list),
    "string": lambda v: isinstance(v, str),
    "boolean": lambda v: isinstance(v, bool),
    "null": lambda v: v is None,
    "integer": lambda v: isinstance(v, int) and not isinstance(v, bool),
    "number": lambda v: isinstance(v, (int, float)) and not isinstance(v, bool),
}


def errors(value, schema, root, path="$"):
    """The reasons value does not match schema (empty when it does)."""
    if "$ref" in schema:
        target = root
        for part in schema["$ref"].lstrip("#/").split("/"):
            target = target[part]
        return errors(value, target, root, path)
    out = []
    if "type" in schema:
        types = schema["type"] if isinstance(schema["type"], list) else [schema["type"]]
        if not any(TYPES[t](value) for t in types):
            return ["%s: %r is not %s" % (path, value, "/".join(types))]
    if "const" in schema and value != schema["const"]:
        out.append("%s: %r is not %r" % (path, value, schema["const"]))
    if "enum" in schema and value not in schema["enum"]:
        out.append("%s: %r not in %r" % (path, value, schema["enum"]))
    if "pattern" in schema and isinstance(value, str) and not re.search(schema["pattern"], value):
        out.append("%s: %r does not match %s" % (path, value, schema["pattern"]))
    if "minimum" in schema and TYPES["number"](value) and value < schema["minimum"]:
        out.append("%s: %r below %r" % (path, value, schema["minimum"]))
    if "maximum" in schema and TYPES["number"](value) and value > schema["maximum"]:
        out.append("%s: %r above %r" % (path, value, schema["maximum"]))
    if isinstance(value, dict):
        for key in schema.get("required", []):
            if key not in value:
                out.append("%s: %s missing" % (path, key))
        properties = schema.get("properties", {})
        for key, item in value.items():
            if key in properties:
                out += errors(item, properties[key], root, "%s.%s" % (path, key))
            elif schema.get("additionalProperties") is False:
                out.append("%s: %s is not expected" % (path, key))
    if isinstance(value, list):
        if len(value) < schema.get("minItems", 0) or len(value) > schema.get("maxItems", len(value)):
            out.append("%s: %d items" % (path, len(value)))
        if "items" in schema:
            for i, item in enumerate(value):
                out += errors(item, schema["items"], root, "%s[%d]" % (path, i))
    if "oneOf" in schema:
        matches = [errors(value, s, root, path) for s in schema["oneOf"]]
        if sum(1 for m in matches if not m) != 1:
            best = min(matches, key=len)
            out.append("%s: matches %d of oneOf; nearest: %s" % (path, sum(1 for m in matches if not m), best))
    return out


# --- running the program ------------------------------------------------------------------------

def run(program, args, env_extra=None):
    env = dict(os.environ, KESTRAVO_SIM_FAULTS="steady=1")
    env.update(env_extra or {})
    p = subprocess.run([program] + args, stdin=subprocess.DEVNULL, capture_output=True, env=env, timeout=120)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8", "replace")


def objects(program, schema, args, env_extra=None):
    """The objects of a --json run, each checked against the schema."""
    status, out, err = run(program, ["--json"] + args, env_extra)
    found = []
    for line in out.splitlines():
        try:
            obj = json.loads(line)
        except ValueError:
            check(False, "%s: not JSON: %r" % (args, line))
            continue
        problems = errors(obj, schema, schema)
        check(not problems, "%s: %s: %s" % (args, line, problems))
        found.append(obj)
    return status, found, err


def one(program, schema, port, switch):
    """The single object of one switch, and the human output of the same switch."""
    _, found, _ = objects(program, schema, [port, switch, "-T"])
    _, human, _ = run(program, [port, "-q", switch, "-T"])
    check(len(found) == 1, "%s: %d objects" % (switch, len(found)))
    return (found[0] if found else {}), human


def near(a, b, places):
    return abs(a - b) <= 0.5 * 10 ** -places + 1e-9


def main():
    program, schema_path = sys.argv[1], sys.argv[2]
    with open(schema_path) as f:
        schema = json.load(f)
    try:
        import jsonschema  # Debian's python3-jsonschema, where installed
    except ImportError:
        jsonschema = None

    work = tempfile.mkdtemp(prefix="kestravo-json-")
    port = "sim:" + os.path.join(work, "device.state")
    # Two stored configurations, one of them deleted, so that the lists have something to list.
    run(program, [port, "--yes", "-KS1", "-KN1", "first", "-KS2", "-KN2", "second", "-KX2", "-T"])

    # Readings: each value equals the human line's at the human line's precision.
    o, h = one(program, schema, port, "-h")
    hv = re.search(r"12V: ([\d.]+)V,\s+5V0: ([\d.]+)V,\s+3V3: ([\d.]+)V,\s+CPU: ([\d.]+)degC", h)
    if check(hv, "-h human: %r" % h):
        for key, text, places in zip(("volts_12v", "volts_5v0", "volts_3v3", "cpu_degc"), hv.groups(), (3, 3, 3, 2)):
            check(near(o[key], float(text), places), "-h %s: %r vs %s" % (key, o[key], text))
    o, h = one(program, schema, port, "-m")
    check([round(t, 2) for t in o.get("degc", [])] == [float(x) for x in re.findall(r"#\d: *([\d.]+)degC", h)],
          "-m: %r vs %r" % (o, h))
    o, h = one(program, schema, port, "-c")
    m = re.search(r"CPU load: ([\d.]+)%\tCPU frequency: ([\d.]+)MHz", h)
    if check(m, "-c human: %r" % h):
        check(near(o["load_percent"], float(m.group(1)), 1) and near(o["frequency_hz"] / 1e6, float(m.group(2)), 2),
              "-c: %r vs %r" % (o, h))
    o, h = one(program, schema, port, "-f")
    rows = re.findall(r"fan #(\d):\tenabled: *(Yes|No),\tfailed: *(Yes|No),\tset: *(\d+)rpm,\tmeasured: *(\d+)rpm,\tPWM: *([\d.]+)%", h)
    check([(str(f["fan"]), "Yes" if f["enabled"] else "No", "Yes" if f["failed"] else "No", str(f["set_rpm"]),
            str(f["measured_rpm"]), "%.2f" % f["pwm_percent"]) for f in o.get("fans", [])] == rows,
          "-f: %r vs %r" % (o, h))
    o, h = one(program, schema, port, "-l")
    check(["Yes" if o.get(k) else "No" for k in ("red", "green", "blue")] == re.findall(r"(Yes|No)", h), "-l: %r vs %r" % (o, h))
    o, h = one(program, schema, port, "-i")
    check(h == "State:\t%s\n" % o.get("text"), "-i: %r vs %r" % (o, h))
    o, h = one(program, schema, port, "-s")
    check(h.startswith("Device status: %08Xh" % o.get("value", -1)), "-s: %r vs %r" % (o, h))
    check(("Controller disabled: Yes" in h) == o.get("controller_disabled"), "-s bits: %r" % o)
    o, h = one(program, schema, port, "-w")
    check(h.startswith("Controller state: %04Xh\n" % o.get("value", -1)), "-w: %r vs %r" % (o, h))
    check(re.search(r"master enable: +%s" % ("Y" if o.get("master_enable") else "N"), h), "-w bits: %r vs %r" % (o, h))
    for switch, line in (("-p", "Product identification: {product_id}\n"), ("-n", "Product number: {product_no}\n"),
                         ("-V", "Firmware version: {fw_version}\n"), ("-d", "Firmware date: {fw_date}\n")):
        o, h = one(program, schema, port, switch)
        check(h == line.format(**o), "%s: %r vs %r" % (switch, o, h))
    o, h = one(program, schema, port, "-v")
    check(h == "Hardware type: %04Xh, hardware version: %s\n" % (o.get("hw_type", -1), o.get("hw_version")), "-v: %r vs %r" % (o, h))
    o, h = one(program, schema, port, "-u")
    check(re.search(r"total: %d sec\." % o.get("total_s", -1), h) and o.get("uptime_s", -1) >= 0, "-u: %r vs %r" % (o, h))

    # Settings: the raw values of the human lines, the times in seconds.
    o, h = one(program, schema, port, "-o")
    s = o.get("settings", [{}])[0]
    check(h.startswith("Oscillator period: %d (" % s.get("raw", -1)) and near(s["seconds"], 2 * 10 ** -8 * (s["raw"] + 2) / 2, 12),
          "-o: %r vs %r" % (o, h))
    o, h = one(program, schema, port, "-P")
    by = {(x["name"], x["index"]): x for x in o.get("settings", [])}
    delays = [int(x) for x in re.findall(r"#\d: (\d+) \(", h.split("\n")[0])]
    check(delays == [by[("pulser_delay", i)]["raw"] for i in range(4)], "-P delays: %r vs %r" % (delays, h))
    check(all(near(by[("pulser_delay", i)]["seconds"], (by[("pulser_delay", i)]["raw"] + 3) * 1e-8, 12) for i in range(4)), "-P seconds")
    check(len(o.get("settings", [])) == 16, "-P: %d settings" % len(o.get("settings", [])))
    o, h = one(program, schema, port, "-R")
    check(len(o.get("settings", [])) == 4 + 4 + 4 + 4 + 4 + 5 + 5 + 1 + 1, "-R: %d settings" % len(o.get("settings", [])))
    o, h = one(program, schema, port, "-D")
    dirs = re.findall(r"DIO\d:\t(output|terminated input|input),", h)
    check(dirs == [x["direction"] for x in o.get("settings", []) if x["name"] == "dio_direction"], "-D: %r vs %r" % (o, h))
    o, h = one(program, schema, port, "-P1w")
    s = o.get("settings", [{}])[0]
    check(h.startswith("Pulse width of pulser #1: %d (" % s.get("raw", -1)) and s.get("index") == 1, "-P1w: %r vs %r" % (o, h))

    # Configurations.
    o, h = one(program, schema, port, "-KC")
    check(o.get("configurations") == [{"number": 1, "name": "first"}], "-KC: %r" % o)
    check("  1: 'first'" in h, "-KC human: %r" % h)
    o, h = one(program, schema, port, "-KD")
    check(o.get("configurations") == [{"number": 2, "name": "second"}] and o.get("deleted") is True, "-KD: %r" % o)
    o, h = one(program, schema, port, "-Kn1")
    check(o.get("name") == "first" and h == "Name of configuration #1: 'first'\n", "-Kn1: %r vs %r" % (o, h))
    _, found, _ = objects(program, schema, [port, "-KL1", "-T"])
    check([x.get("kind") for x in found] == ["configuration_loaded"] and found[0].get("number") == 1, "-KL1: %r" % found)
    saved = os.path.join(work, "all.cfg")
    run(program, [port, "-q", "-KW", saved, "-T"])
    _, found, _ = objects(program, schema, [port, "--yes", "-KR", saved, "-T"])
    check(found and found[-1].get("configurations") == [{"number": 1, "name": "first"}], "-KR: %r" % found)

    # The ports of a machine image, as the human list names them.
    root = os.path.join(work, "root")
    os.makedirs(os.path.join(root, "dev"))
    os.makedirs(os.path.join(root, "sys/class/tty/ttyUSB0"))
    open(os.path.join(root, "dev/ttyUSB0"), "w").close()
    _, found, _ = objects(program, schema, ["--list", root])
    _, human, _ = run(program, ["--list", root])
    check(found and [p["name"] for p in found[0]["ports"]] == [line.split(" ")[0] for line in human.splitlines()],
          "--list: %r vs %r" % (found, human))

    # Continuous displays: one object per pass, --count passes, whatever the input.
    for switch in ("-H", "-M", "-C", "-F", "-L", "-I", "-S", "-U", "-W"):
        status, found, err = objects(program, schema, [port, switch, "--count", "2", "--interval", "0", "-T"])
        check(status == 0 and [x.get("pass") for x in found] == [1, 2], "%s --count 2: %r %r" % (switch, found, err))
    log = os.path.join(work, "log.tsv")
    _, found, _ = objects(program, schema, [port, "-x", log, "--count", "3", "--interval", "0.01", "-T"])
    with open(log) as f:
        records = f.read().splitlines()[1:]
    check(len(found) == 3 and len(records) == 3, "-x --count 3: %r, %d records" % (found, len(records)))
    if len(found) == 3 and len(records) == 3:
        check(float(records[2].split("\t")[4]) == found[2]["volts_12v"], "-x: %r vs %r" % (records[2], found[2]))

    # Failures: an object with the status a strict run would end with, and the switch.
    cases = [
        ([port, "-P9d", "-T"], None, 4, "-P9d"),
        ([port, "-KL5", "-T"], None, 3, "-KL5"),
        ([port, "-KR", os.path.join(work, "missing.cfg"), "-T"], None, 5, "-KR"),
        (["sim", "-h", "-T"], {"KESTRAVO_SIM_FAULTS": "off=1"}, 2, "-h"),
        ([port, "--count", "0", "-h"], None, 4, "--count"),
    ]
    for args, env, code, switch in cases:
        _, found, _ = objects(program, schema, args, env)
        errors_found = [x for x in found if "error" in x]
        check(errors_found and errors_found[0]["code"] == code and errors_found[0]["switch"] == switch,
              "%s: %r" % (args, found))
    # The text for people goes to standard error: standard output holds objects only.
    status, out, err = run(program, ["--json", port, "-h", "-T"])
    check("Program finished" in err and out.count("\n") == 1, "streams: %r / %r" % (out, err))
    # --json after the port is the same option.
    status, out2, _ = run(program, [port, "-h", "--json", "-T"])
    check(json.loads(out2)["kind"] == "housekeeping", "--json after the port: %r" % out2)

    if jsonschema:
        for line in (out, out2):
            jsonschema.validate(json.loads(line), schema)

    for failure in FAILURES:
        print("FAIL:", failure)
    print("json output: %d failures%s" % (len(FAILURES), "" if jsonschema else " (own schema checker only)"))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
