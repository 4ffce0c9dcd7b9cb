"""The package's conversions give what the console program prints for the same device state."""
import subprocess

import kestravo


def _program_lines(control_program, port, *switches):
    run = subprocess.run([control_program, port, *switches, "-T"], capture_output=True, text=True,
                         timeout=60, stdin=subprocess.DEVNULL)
    assert run.returncode == 0, run.stdout + run.stderr
    return run.stdout.splitlines()


def test_conversions_match_the_console_program(control_program, sim_program, monkeypatch):
    monkeypatch.setenv("KESTRAVO_SIM", sim_program)
    # One device for both, whose readings stay the same from one reading to the next.
    with kestravo.sim.Server(fault_text="steady=1") as server:
        with kestravo.Device(server.address) as d:
            d.set_oscillator_period(12345)
            for p, raw in enumerate((0, 1, 4242, 0xFFFFFFFF)):
                d.set_pulser_delay(p, raw)
                d.set_pulser_width(p, 0xFFFFFFFF - raw)
            d.set_pulser_config(1, 0x20 | 19)
            d.set_switch_trigger_config(2, 0x1F)
            d.set_switch_trigger_delay(3, 15, 1)
            d.set_switch_enable_delay(3, 7)
            d.set_input_config(0b1000001, 0b0000110)
            d.set_output_config(0, 0x2E)
            period = d.oscillator_period()
            delays = [d.pulser_delay(p) for p in range(4)]
            widths = [d.pulser_width(p) for p in range(4)]
            pulser_1 = d.pulser_config(1)
            trigger_2 = d.switch_trigger_config(2)
            delay_3, enable_3 = d.switch_trigger_delay(3), d.switch_enable_delay(3)
            dios, output_0 = d.input_config(), d.output_config(0)
            hk, temperatures, fans, cpu = d.housekeeping(), d.sensor_temperatures(), d.fans(), d.cpu_data()
        lines = _program_lines(control_program, server.address, "-o", "-P", "-R", "-D", "-h", "-m", "-f", "-c")

    expected = [
        "Oscillator period: %u (%E" "s, %E" "Hz)" % (period.raw, period.seconds, period.hertz),
        "Pulser delays:" + ",".join("\t#%d: %u (%Es)" % (p, t.raw, t.seconds) for p, t in enumerate(delays)),
        "Pulser widths:" + ",".join("\t#%d: %u (%Es)" % (p, t.raw, t.seconds) for p, t in enumerate(widths)),
        "\t0 (#0-trig): 02h (oscillator 0)\t1 (#0-stop): %02Xh (%s)" % (pulser_1.raw, pulser_1.name),
        "\t2 trigger: %u=%02Xh (%s),\t2 enable:  0=00h (logic 0)" % (trigger_2.raw, trigger_2.raw, trigger_2.name),
        "\t3 trigger rise: %u (%.1fns),\t3 trigger fall: %u (%.1fns),\t3 enable: %u (%.1fns)" % (
            delay_3.rise.raw, delay_3.rise.seconds * 1e9, delay_3.fall.raw, delay_3.fall.seconds * 1e9,
            enable_3.raw, enable_3.seconds * 1e9),
        "\tDIO0:\t%s,\tconfiguration: %u=%02Xh (%s)" % (dios.direction(0), output_0.raw, output_0.raw, output_0.name),
        "\tDIO1:\t%s,\tconfiguration: 0=00h (logic 0)" % dios.direction(1),
        "\tDIO3:\t%s,\tconfiguration: 0=00h (logic 0)" % dios.direction(3),
        "Device housekeeping:\t12V: %.3fV,\t5V0: %.3fV,\t3V3: %.3fV,\tCPU: %.2fdegC" % (
            hk.volt_12v, hk.volt_5v0, hk.volt_3v3, hk.temp_cpu),
        "Sensor data:" + "".join("\t#%d: %5.2fdegC" % (k + 1, t) for k, t in enumerate(temperatures)),
        "CPU load: %.1f%%\tCPU frequency: %.2fMHz" % (cpu.load * 100, cpu.frequency * 1e-6),
    ] + ["\tfan #%d:\tenabled: %s,\tfailed: %s,\tset: %4urpm,\tmeasured: %4urpm,\tPWM: %6.2f%%" % (
        k + 1, "Yes" if f.enabled else " No", "Yes" if f.failed else " No", f.set_rpm, f.measured_rpm,
        f.pwm_percent) for k, f in enumerate(fans)]
    for line in expected:
        assert line in lines
    assert (dios.direction(0), dios.direction(1), dios.direction(3)) == ("output", "terminated input", "input")
