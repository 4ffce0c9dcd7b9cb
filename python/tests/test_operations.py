"""Every family of operations against the simulated device."""
import pytest

import kestravo
from kestravo import KestravoError, Result


def test_identity_and_monitoring(device):
    assert device.hw_type() == 0x4B53
    assert str(device.hw_version()) == "1.02" and device.fw_version() == kestravo.Version(1, 3)
    assert len(device.fw_date()) == 11 and "KESTRAVO" in device.product_id()
    assert device.product_no() > 0
    assert device.main_state() == 0 and device.device_state() == 0
    cpu = device.cpu_data()
    assert 0 <= cpu.load < 1 and cpu.frequency > 1e6
    up = device.uptime()
    assert 0 <= up.milliseconds < 1000 and up.total_seconds >= up.seconds
    assert device.total_time().uptime >= 0
    hk = device.housekeeping()
    assert 11 < hk.volt_12v < 13 and 4.5 < hk.volt_5v0 < 5.5 and 3 < hk.volt_3v3 < 3.6 and 0 < hk.temp_cpu < 100
    assert all(t is None or -40 < t < 100 for t in device.sensor_temperatures())
    fans = device.fans()
    assert len(fans) == 3 and fans[0].enabled and not fans[0].failed and fans[0].pwm_percent == fans[0].pwm_raw / 10
    assert isinstance(device.leds().green, bool)


def test_link_operations(device):
    device.purge()
    assert device.hw_type() == 0x4B53  # a purge leaves the line at 9600 baud, both ends
    assert device.set_baud_rate(115200) == 115200
    assert isinstance(device.device_purge(), bool) and device.buffer_empty()
    device.test("Hello, device")
    device.restart()
    assert device.hw_type() == 0x4B53
    with pytest.raises(ValueError):
        device.set_baud_rate(299)  # below what the device takes: refused before the library
    assert device.hw_type() == 0x4B53


@pytest.mark.parametrize("setter,getter,index,raw,seconds", [
    ("set_oscillator_period", "oscillator_period", None, 98, 1e-6),
    ("set_pulser_delay", "pulser_delay", 2, 97, 1e-6),
    ("set_pulser_width", "pulser_width", 3, 0xFFFFFFFF, (0xFFFFFFFF + 2) * 1e-8),
])
def test_times_raw_and_in_seconds(device, setter, getter, index, raw, seconds):
    args = () if index is None else (index,)
    getattr(device, setter)(*args, raw)
    value = getattr(device, getter)(*args)
    assert value.raw == raw and value.seconds == pytest.approx(seconds, rel=1e-12)
    getattr(device, setter)(*args, 0)
    getattr(device, setter)(*args, seconds=seconds)
    assert getattr(device, getter)(*args).raw == raw
    with pytest.raises(ValueError):
        getattr(device, setter)(*args, seconds=1e-9)  # shorter than the offset
    with pytest.raises(TypeError):
        getattr(device, setter)(*args)


def test_oscillator_in_hertz(device):
    device.set_oscillator_period(seconds=1 / 250e3)
    assert device.oscillator_period() == kestravo.Period(398, 4e-6, 250e3)


def test_pulser_bursts_and_sources(device):
    device.set_pulser_burst(0, 16777215)
    assert device.pulser_burst(0) == 16777215
    device.set_pulser_config(5, 0x20 | 10)
    assert device.pulser_config(5) == kestravo.Source(0x2A, 10, True, "negated pulser 1 output")
    with pytest.raises(ValueError):
        device.set_pulser_config(6, 0)


def test_switches(device):
    device.set_switch_trigger_config(0, 3)
    assert device.switch_trigger_config(0).name == "digital input 1"
    device.set_switch_enable_config(3, 0x21)
    assert device.switch_enable_config(3).name == "negated software trigger"
    device.set_switch_trigger_delay(1, 15, 3)
    delay = device.switch_trigger_delay(1)
    assert (delay.rise.raw, delay.fall.raw, delay.rise.seconds) == (15, 3, 7.5e-9)
    device.set_switch_enable_delay(2, 9)
    assert device.switch_enable_delay(2) == kestravo.Time(9, 4.5e-9)
    for m in range(5):
        device.set_switch_trigger_mapping(m, m + 10)
        device.set_switch_enable_mapping(m, 15 - m)
    assert [device.switch_trigger_mapping(m) for m in range(5)] == [10, 11, 12, 13, 14]
    assert [device.switch_enable_mapping(m) for m in range(5)] == [15, 14, 13, 12, 11]
    for on in (True, False):
        device.set_switch_trigger_mapping_enabled(on)
        device.set_switch_enable_mapping_enabled(not on)
        assert (device.switch_trigger_mapping_enabled(), device.switch_enable_mapping_enabled()) == (on, not on)
    with pytest.raises(ValueError):
        device.set_switch_trigger_delay(0, 16, 0)


def test_dios_and_controller(device):
    device.set_input_config(0b0000101, 0b0000010)
    dios = device.input_config()
    assert [dios.direction(j) for j in range(3)] == ["output", "terminated input", "output"]
    device.set_output_config(6, 0x12)
    assert device.output_config(6).name == "timebase 2 MHz"
    device.set_device_enabled(True)
    assert device.device_enabled() and device.controller_state() & 1
    device.set_device_enabled(False)
    assert not device.device_enabled()
    device.set_controller_config(0b110)
    assert device.controller_state() & 0x7F == 0b110


def test_configurations(device):
    device.reset_current_config()
    block = bytearray(device.current_config())
    assert len(block) == kestravo.CONFIG_SIZE
    device.set_oscillator_period(1000)
    assert int.from_bytes(device.current_config()[67:71], "little") == 1000
    device.save_current_config(125)
    assert device.config_flags(125) == kestravo.ConfigFlags(True, True)
    listing = device.config_list()
    assert len(listing.active) == kestravo.CONFIG_COUNT and listing.active[125] and not listing.valid[0]
    device.set_config_name(125, "Ärger 50 ns")  # Windows-1252 on the device
    assert device.config_name(125) == "Ärger 50 ns"
    device.set_config_name(124, "x" * 52)
    with pytest.raises(ValueError):
        device.set_config_name(124, "x" * 53)
    device.set_config_flags(125, False, True)
    assert device.config_flags(125).deleted
    device.set_config_flags(125, True, True)
    device.set_current_config(block)
    assert device.oscillator_period().raw != 1000
    device.load_current_config(125)
    assert device.oscillator_period().raw == 1000
    stored = device.config_data(125)
    device.set_config_data(3, stored)
    assert device.config_data(3) == stored
    with pytest.raises(ValueError):
        device.set_current_config(b"short")


def test_memory(device):
    data = bytes(range(256)) * 20 + b"end"
    device.set_memory_data(kestravo.MEMORY_SIZE - len(data), data)  # two blocks, up to the last byte
    assert device.memory_data(kestravo.MEMORY_SIZE - len(data), len(data)) == data
    device.update_memory_data()
    with pytest.raises(ValueError):
        device.memory_data(kestravo.MEMORY_SIZE - 1, 2)
