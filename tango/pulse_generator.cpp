#include "tango/pulse_generator.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "COM-KESTRAVO.h"
#include "model/cp1252.h"
#include "model/device_texts.h"
#include "model/format.h"
#include "model/result_names.h"
#include "model/settings.h"

namespace tango_server {
namespace {

constexpr double kNotYet = std::numeric_limits<double>::quiet_NaN();
// The device state bits that make the state ALARM: the supplies, the fans, too hot and too cold.
constexpr uint32_t kFailureBits = 0x07070703u;
constexpr uint16_t kControllerNotReady = 0x8004;

// The library's slots this process has handed out.
std::mutex slots_mutex;
bool slots_taken[16];

bool ClaimSlot(long wanted, uint16_t& slot) {
  std::lock_guard<std::mutex> lock(slots_mutex);
  for (long s = wanted < 0 ? 0 : wanted; s < 16; ++s) {
    if (slots_taken[s]) {
      if (wanted >= 0) return false;
      continue;
    }
    slots_taken[s] = true;
    slot = uint16_t(s);
    return true;
  }
  return false;
}

void ReleaseSlot(uint16_t slot) {
  std::lock_guard<std::mutex> lock(slots_mutex);
  slots_taken[slot] = false;
}

[[noreturn]] void Refuse(const char* reason, const std::string& text, const char* origin) {
  Tango::Except::throw_exception(reason, text, origin);
}

// An attribute made from a row of the table; its calls go to the device's read and write.
class DynamicAttribute : public Tango::Attr {
 public:
  DynamicAttribute(const AttributeRow& row, size_t index, Tango::CmdArgType type)
      : Tango::Attr(row.name.c_str(), type, row.setting ? Tango::READ_WRITE : Tango::READ), index_(index) {}
  void read(Tango::DeviceImpl* dev, Tango::Attribute& a) override {
    static_cast<PulseGenerator*>(dev)->ReadAttribute(index_, a);
  }
  void write(Tango::DeviceImpl* dev, Tango::WAttribute& a) override {
    static_cast<PulseGenerator*>(dev)->WriteAttribute(index_, a);
  }
  bool is_allowed(Tango::DeviceImpl*, Tango::AttReqType) override { return true; }

 private:
  size_t index_;
};

Tango::CmdArgType TangoType(ValueKind kind) {
  static const Tango::CmdArgType kTypes[] = {Tango::DEV_DOUBLE, Tango::DEV_ULONG,   Tango::DEV_USHORT,
                                             Tango::DEV_UCHAR,  Tango::DEV_BOOLEAN, Tango::DEV_ENUM,
                                             Tango::DEV_STRING};
  return kTypes[size_t(kind)];
}

Tango::Attr* MakeAttribute(const AttributeRow& row, size_t index) {
  auto* attr = new DynamicAttribute(row, index, TangoType(row.kind));
  Tango::UserDefaultAttrProp p;
  p.set_description(row.description.c_str());
  p.set_label(row.name.c_str());
  if (!row.unit.empty()) {
    p.set_unit(row.unit.c_str());
    p.set_display_unit(row.unit.c_str());
    p.set_standard_unit("1");
  }
  if (!row.format.empty()) p.set_format(row.format.c_str());
  if (!row.min_value.empty()) {
    p.set_min_value(row.min_value.c_str());
    p.set_max_value(row.max_value.c_str());
  }
  if (!row.min_alarm.empty()) {
    p.set_min_alarm(row.min_alarm.c_str());
    p.set_max_alarm(row.max_alarm.c_str());
  }
  if (row.abs_change > 0) {
    const std::string change = model::Format("%g", row.abs_change);
    p.set_event_abs_change(change.c_str());
    p.set_archive_event_abs_change(change.c_str());
  }
  if (!row.labels.empty()) p.set_enum_labels(const_cast<std::vector<std::string>&>(row.labels));
  attr->set_default_properties(p);
  attr->set_change_event(true, false);
  attr->set_archive_event(true, false);
  return attr;
}

}  // namespace

PulseGenerator::PulseGenerator(Tango::DeviceClass* cl, const char* name) : TANGO_BASE_CLASS(cl, name) {
  AddAttributes();
  set_change_event("State", true, false);
  set_archive_event("State", true, false);
  init_device();
}

PulseGenerator::~PulseGenerator() { delete_device(); }

void PulseGenerator::AddAttributes() {
  const std::vector<AttributeRow>& rows = Attributes();
  for (size_t i = 0; i < rows.size(); ++i) add_attribute(MakeAttribute(rows[i], i));
}

void PulseGenerator::init_device() {
  Tango::DbData data;
  data.push_back(Tango::DbDatum("Port"));
  data.push_back(Tango::DbDatum("Slot"));
  data.push_back(Tango::DbDatum("PollingPeriod"));
  if (Tango::Util::_UseDb) get_db_device()->get_property(data);
  port_.clear();
  Tango::DevLong slot = -1, period = 1000;
  if (!data[0].is_empty()) data[0] >> port_;
  if (!data[1].is_empty()) data[1] >> slot;
  if (!data[2].is_empty()) data[2] >> period;
  period_ms_ = uint32_t(period < 10 ? 10 : period);

  std::lock_guard<std::mutex> lock(mutex_);
  health_ = Health{};
  last_pushed_.assign(Attributes().size(), kNotYet);
  last_texts_.assign(Attributes().size(), std::string());
  stop_ = reconnect_ = poll_now_ = false;
  state_pushed_ = false;
  if (port_.empty()) {
    health_.state = Tango::FAULT;
    health_.status = "The property Port names no port";
    return;
  }
  if (slot > 15 || !ClaimSlot(slot, slot_)) {
    health_.state = Tango::FAULT;
    health_.status =
        slot > 15   ? model::Format("The property Slot is %d: the slots run from 0 to 15", int(slot))
        : slot >= 0 ? model::Format("Slot %d is taken by another device of this server", int(slot))
                    : std::string("All 16 slots of this server are taken");
    return;
  }
  slot_claimed_ = true;
  poller_ = std::thread([this] { Poll(); });
}

void PulseGenerator::delete_device() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (poller_.joinable()) {
    // A client's Init holds this device's monitor while it deletes the device, and the polling
    // thread may be waiting for that monitor to push its events: the monitor is let go while the
    // thread ends.
    Tango::TangoMonitor& monitor = get_dev_monitor();
    omni_thread* self = omni_thread::self();
    long held = 0;
    if (self && monitor.get_locking_thread_id() == self->id()) held = monitor.get_locking_ctr();
    for (long i = 0; i < held; ++i) monitor.rel_monitor();
    poller_.join();
    for (long i = 0; i < held; ++i) monitor.get_monitor();
  }
  if (slot_claimed_) {
    COM_KESTRAVO_Close(slot_);
    ReleaseSlot(slot_);
    slot_claimed_ = false;
  }
}

Tango::DevState PulseGenerator::dev_state() {
  std::lock_guard<std::mutex> lock(mutex_);
  return health_.state;
}

Tango::ConstDevString PulseGenerator::dev_status() {
  std::lock_guard<std::mutex> lock(mutex_);
  status_copy_ = health_.status;
  return status_copy_.c_str();
}

// The polling thread: opens the device, reads its health every period and pushes what changed;
// a device that fails a read is closed and opened again at the next period.
void PulseGenerator::Poll() {
  omni_thread::ensure_self known_to_tango;  // the device monitor tells its owners apart by it
  std::unique_lock<std::mutex> lock(mutex_);
  Health h = health_;
  while (!stop_) {
    const bool reconnect = reconnect_;
    reconnect_ = false;
    lock.unlock();
    if (reconnect && h.open) {
      COM_KESTRAVO_Close(slot_);
      h.open = h.identity_read = false;
    }
    const bool had_identity = h.identity_read;
    if (h.open || OpenDevice(h)) ReadHealth(h);
    lock.lock();
    health_ = h;
    lock.unlock();
    PushEvents(h, !had_identity);
    lock.lock();
    if (stop_) break;
    wake_.wait_for(lock, std::chrono::milliseconds(period_ms_),
                   [this] { return stop_ || reconnect_ || poll_now_; });
    poll_now_ = false;
  }
}

bool PulseGenerator::OpenDevice(Health& h) {
  const int32_t result = COM_KESTRAVO_OpenPort(slot_, port_.c_str());
  if (result == 0) return h.open = true;
  const char* reason = COM_KESTRAVO_GetOpenFailureReason(slot_);
  h.state = Tango::FAULT;
  h.status = model::Format("Opening %s failed: %s%s%s", port_.c_str(), COM_KESTRAVO_GetErrorMessage(slot_),
                           reason && *reason ? ": " : "", reason ? reason : "");
  COM_KESTRAVO_Close(slot_);
  return false;
}

void PulseGenerator::ReadHealth(Health& h) {
  const auto one_call = [] { return 0; };  // the library keeps each call whole
  const char* failed = "";
  model::Readings& r = h.readings;
  if ((!h.identity_read && !model::ReadAll(slot_, model::kIdentityReads, r, failed, one_call)) ||
      !model::ReadAll(slot_, model::kHealthReads, r, failed, one_call)) {
    h.state = Tango::FAULT;
    h.status = model::Format("%s failed: %s (the device is opened again)", failed,
                             COM_KESTRAVO_GetErrorMessage(slot_));
    COM_KESTRAVO_Close(slot_);
    h.open = h.identity_read = false;
    return;
  }
  h.identity_read = true;
  std::string alarms;
  if (r.main_state == kControllerNotReady) {
    h.state = Tango::FAULT;
    h.status = "Controller not ready";
    return;
  }
  if (r.main_state != 0) alarms += model::MainStateLine(r.main_state, model::MainStateForm::kOnce);
  if (r.device_state & kFailureBits) alarms += model::Format("Device state %08Xh\n", r.device_state);
  for (int fan = 0; fan < 3; ++fan)
    if (r.fan_failed[fan]) alarms += model::Format("Fan %d failed\n", fan + 1);
  for (const AttributeRow& row : Attributes())
    if (row.number && OutOfLimits(row, row.number(r)))
      alarms += model::Format("%s out of its limits\n", row.name.c_str());
  if (!alarms.empty()) {
    h.state = Tango::ALARM;
    h.status = alarms;
    if (h.status.back() == '\n') h.status.pop_back();
  } else if (!(r.controller & 1)) {
    // A disabled device also reads its master enable off and its controller disabled.
    h.state = Tango::OFF;
    h.status = "The device is disabled";
  } else if (!((r.controller >> 8) & 1)) {
    h.state = Tango::DISABLE;
    h.status = "Master enable is off";
  } else if ((r.device_state >> 15) & 1) {
    h.state = Tango::DISABLE;
    h.status = "The controller is disabled";
  } else {
    h.state = Tango::ON;
    h.status = "The device is enabled and ready";
  }
}

// Hands one value to Tango for a read or an event: the storage for each kind is the caller's.
struct ValueSlots {
  Tango::DevDouble& d;
  Tango::DevULong& ul;
  Tango::DevUShort& us;
  Tango::DevUChar& uc;
  Tango::DevBoolean& b;
  Tango::DevShort& e;
  std::string& text;
  Tango::DevString& s;
};

namespace {

template <typename Sink>
void Deliver(ValueKind kind, double number, const std::string& text, ValueSlots v, Sink&& sink) {
  switch (kind) {
    case ValueKind::kDouble:
      v.d = number;
      return sink(&v.d);
    case ValueKind::kULong:
      v.ul = Tango::DevULong(number);
      return sink(&v.ul);
    case ValueKind::kUShort:
      v.us = Tango::DevUShort(number);
      return sink(&v.us);
    case ValueKind::kUChar:
      v.uc = Tango::DevUChar(number);
      return sink(&v.uc);
    case ValueKind::kBoolean:
      v.b = number != 0;
      return sink(&v.b);
    case ValueKind::kEnum:
      v.e = Tango::DevShort(number);
      return sink(&v.e);
    case ValueKind::kString:
      v.text = text;
      v.s = const_cast<char*>(v.text.c_str());
      return sink(&v.s);
  }
}

// The value a client writes, as a number.
template <typename T>
double WrittenNumber(Tango::WAttribute& attribute) {
  T value{};
  attribute.get_write_value(value);
  return double(value);
}

}  // namespace

// GCC cannot see that Tango's monitor guard sets its member on every path.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
void PulseGenerator::PushEvents(const Health& h, bool identity) {
  const std::vector<AttributeRow>& rows = Attributes();
  const model::Readings& now = h.readings;
  try {
    Tango::AutoTangoMonitor sync(this);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop_) return;  // the device is being deleted
    }
    if (h.state != pushed_state_ || !state_pushed_) {
      // The State attribute's events carry the state Tango holds.
      set_state(h.state);
      set_status(h.status);
      push_change_event("State");
      push_archive_event("State");
      pushed_state_ = h.state;
      state_pushed_ = true;
    }
    for (size_t i = 0; h.open && i < rows.size(); ++i) {
      const AttributeRow& row = rows[i];
      if (row.setting || (row.identity && !identity)) continue;
      const double number = row.number ? row.number(now) : 0;
      const std::string text = row.text ? row.text(now) : std::string();
      const double last = last_pushed_[i];
      const bool changed =
          std::isnan(last) || (row.text             ? text != last_texts_[i]
                               : row.abs_change > 0 ? std::fabs(number - last) >= row.abs_change
                                                    : number != last);
      if (!changed) continue;
      last_pushed_[i] = number;
      last_texts_[i] = text;
      Tango::DevDouble d;
      Tango::DevULong ul;
      Tango::DevUShort us;
      Tango::DevUChar uc;
      Tango::DevBoolean b;
      Tango::DevShort e;
      std::string t;
      Tango::DevString s;
      Deliver(row.kind, number, text, {d, ul, us, uc, b, e, t, s}, [&](auto* p) {
        push_change_event(row.name, p);
        push_archive_event(row.name, p);
      });
    }
  } catch (Tango::DevFailed& e) {
    // The device is being deleted, or a client held it past the monitor's time: the next period
    // pushes again.
  }
}
#pragma GCC diagnostic pop

void PulseGenerator::RequireOpen(const char* origin) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!health_.open)
    Refuse("KESTRAVO_NOT_CONNECTED", "The device is not connected: " + health_.status, origin);
}

void PulseGenerator::Fail(int32_t result, const char* call, const char* origin) {
  Refuse(model::Format("KESTRAVO_%s", model::ResultName(result)).c_str(),
         model::Format("%s: %s", call, COM_KESTRAVO_GetErrorMessage(slot_)), origin);
}

ValueSlots PulseGenerator::ReplyStorage() {
  return {double_value_,  ulong_value_, ushort_value_, uchar_value_,
          boolean_value_, enum_value_,  text_value_,   string_value_};
}

void PulseGenerator::ReadAttribute(size_t index, Tango::Attribute& attribute) {
  const AttributeRow& row = Attributes()[index];
  double number = 0;
  std::string text;
  if (row.setting) {
    RequireOpen("KestravoPulseGenerator::read_attribute");
    uint32_t raw = 0;
    Check(row.setting->get(slot_, row.index, raw), row.setting->get_call,
          "KestravoPulseGenerator::read_attribute");
    number = AttributeNumber(row, raw);
  } else {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!health_.open || (row.identity && !health_.identity_read))
      Refuse("KESTRAVO_NOT_CONNECTED", "The device is not connected: " + health_.status,
             "KestravoPulseGenerator::read_attribute");
    if (row.number) number = row.number(health_.readings);
    if (row.text) text = row.text(health_.readings);
  }
  Deliver(row.kind, number, text, ReplyStorage(), [&](auto* p) { attribute.set_value(p); });
}

void PulseGenerator::WriteAttribute(size_t index, Tango::WAttribute& attribute) {
  const AttributeRow& row = Attributes()[index];
  const char* origin = "KestravoPulseGenerator::write_attribute";
  double number = 0;
  switch (row.kind) {
    case ValueKind::kDouble:
      number = WrittenNumber<Tango::DevDouble>(attribute);
      break;
    case ValueKind::kULong:
      number = WrittenNumber<Tango::DevULong>(attribute);
      break;
    case ValueKind::kUChar:
      number = WrittenNumber<Tango::DevUChar>(attribute);
      break;
    case ValueKind::kBoolean:
      number = WrittenNumber<Tango::DevBoolean>(attribute);
      break;
    case ValueKind::kEnum:
      number = WrittenNumber<Tango::DevShort>(attribute);
      break;
    default:
      Refuse("KESTRAVO_BAD_ARGUMENT", row.name + " cannot be written", origin);
  }
  uint32_t raw = 0;
  if (!RawOf(row, number, raw))
    Refuse("KESTRAVO_BAD_ARGUMENT", model::Format("%s: %.17g is outside its range", row.name.c_str(), number),
           origin);
  RequireOpen(origin);
  // The device's reply to a write carries the fields it took, which the library checks against
  // what was sent: after a success the device holds raw, and the event says so without another
  // exchange.
  Check(row.setting->set(slot_, row.index, raw), row.setting->set_call, origin);
  Deliver(row.kind, AttributeNumber(row, raw), std::string(), ReplyStorage(),
          [&](auto* p) { push_change_event(row.name, p); });
  // The state follows the controller at once.
  if (row.setting->id == model::SettingId::kDeviceEnable ||
      row.setting->id == model::SettingId::kControllerConfig)
    PollNow();
}

void PulseGenerator::SetEnable(bool on) {
  RequireOpen("KestravoPulseGenerator::On");
  Check(COM_KESTRAVO_SetDeviceEnable(slot_, on ? 1 : 0), "COM_KESTRAVO_SetDeviceEnable",
        on ? "KestravoPulseGenerator::On" : "KestravoPulseGenerator::Off");
  PollNow();  // the state follows at once
}

void PulseGenerator::SoftwareTrigger() {
  const char* origin = "KestravoPulseGenerator::SoftwareTrigger";
  RequireOpen(origin);
  uint16_t s = 0;
  Check(COM_KESTRAVO_GetControllerState(slot_, &s), "COM_KESTRAVO_GetControllerState", origin);
  Check(COM_KESTRAVO_SetControllerConfig(slot_, model::TriggerPattern(s, 0x10) & 0xFF),
        "COM_KESTRAVO_SetControllerConfig", origin);
  Check(COM_KESTRAVO_SetControllerConfig(slot_, model::TriggerPattern(s, 0x00) & 0xFF),
        "COM_KESTRAVO_SetControllerConfig", origin);
}

void PulseGenerator::SaveConfiguration(uint32_t number, const std::string& name) {
  const char* origin = "KestravoPulseGenerator::SaveConfiguration";
  if (number >= COM_KESTRAVO_CONFIG_COUNT)
    Refuse("KESTRAVO_BAD_ARGUMENT", model::Format("No configuration %u: they run from 0 to 125", number),
           origin);
  std::string bytes;
  if (!model::Cp1252FromUtf8(name, bytes) || bytes.find('\0') != std::string::npos)
    Refuse("KESTRAVO_BAD_ARGUMENT", "The name holds a character the device cannot store", origin);
  if (bytes.size() >= COM_KESTRAVO_NAME_SIZE)
    Refuse("KESTRAVO_BAD_ARGUMENT", "The name is longer than 51 characters", origin);
  uint8_t stored[COM_KESTRAVO_NAME_SIZE] = {};
  std::memcpy(stored, bytes.data(), bytes.size());
  RequireOpen(origin);
  Check(COM_KESTRAVO_SaveCurrentConfig(slot_, number), "COM_KESTRAVO_SaveCurrentConfig", origin);
  Check(COM_KESTRAVO_SetConfigName(slot_, number, stored), "COM_KESTRAVO_SetConfigName", origin);
}

void PulseGenerator::LoadConfiguration(uint32_t number) {
  const char* origin = "KestravoPulseGenerator::LoadConfiguration";
  if (number >= COM_KESTRAVO_CONFIG_COUNT)
    Refuse("KESTRAVO_BAD_ARGUMENT", model::Format("No configuration %u: they run from 0 to 125", number),
           origin);
  RequireOpen(origin);
  Check(COM_KESTRAVO_LoadCurrentConfig(slot_, number), "COM_KESTRAVO_LoadCurrentConfig", origin);
}

std::vector<std::string> PulseGenerator::ListConfigurations() {
  const char* origin = "KestravoPulseGenerator::ListConfigurations";
  RequireOpen(origin);
  uint8_t active[COM_KESTRAVO_CONFIG_COUNT] = {}, valid[COM_KESTRAVO_CONFIG_COUNT] = {};
  Check(COM_KESTRAVO_GetConfigList(slot_, active, valid), "COM_KESTRAVO_GetConfigList", origin);
  std::vector<std::string> lines;
  for (uint32_t n = 0; n < COM_KESTRAVO_CONFIG_COUNT; ++n) {
    if (!valid[n]) continue;
    uint8_t name[COM_KESTRAVO_NAME_SIZE + 1] = {};
    Check(COM_KESTRAVO_GetConfigName(slot_, n, name), "COM_KESTRAVO_GetConfigName", origin);
    lines.push_back(model::Format("%u\t", n) + model::Utf8FromCp1252(name, COM_KESTRAVO_NAME_SIZE) +
                    (active[n] ? "" : "\tdeleted"));
  }
  return lines;
}

void PulseGenerator::LoadConfigurationByName(const std::string& name) {
  for (const std::string& line : ListConfigurations()) {
    const size_t tab = line.find('\t');
    const std::string rest = line.substr(tab + 1);
    if (rest == name) return LoadConfiguration(uint32_t(std::stoul(line.substr(0, tab))));
  }
  Refuse("KESTRAVO_NO_SUCH_CONFIGURATION", "No stored configuration is named \"" + name + "\"",
         "KestravoPulseGenerator::LoadConfigurationByName");
}

void PulseGenerator::Purge() {
  RequireOpen("KestravoPulseGenerator::Purge");
  Check(COM_KESTRAVO_Purge(slot_), "COM_KESTRAVO_Purge", "KestravoPulseGenerator::Purge");
}

void PulseGenerator::PollNow() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    poll_now_ = true;
  }
  wake_.notify_all();
}

void PulseGenerator::Reconnect() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reconnect_ = true;
  }
  wake_.notify_all();
}

}  // namespace tango_server
