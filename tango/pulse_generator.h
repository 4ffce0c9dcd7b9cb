// The Tango device class KestravoPulseGenerator: one pulse generator on one slot of the library.
// Its properties name the port (Port), the slot (Slot, otherwise the first free one) and the
// polling period (PollingPeriod, ms). A thread of its own opens the device, reads its health every
// period, pushes change and archive events, and reopens a device that was lost; settings are read
// and written on the device when a client asks.
#pragma once
#include <tango.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/readings.h"
#include "tango/attributes.h"

namespace tango_server {

struct ValueSlots;

class PulseGenerator : public TANGO_BASE_CLASS {
 public:
  PulseGenerator(Tango::DeviceClass* cl, const char* name);
  ~PulseGenerator() override;

  void init_device() override;
  void delete_device() override;
  Tango::DevState dev_state() override;
  Tango::ConstDevString dev_status() override;

  // The dynamic attributes, one per row of Attributes().
  void AddAttributes();
  void ReadAttribute(size_t row, Tango::Attribute& attribute);
  void WriteAttribute(size_t row, Tango::WAttribute& attribute);

  // The commands.
  void SetEnable(bool on);
  void SoftwareTrigger();
  void SaveConfiguration(uint32_t number, const std::string& name);
  void LoadConfiguration(uint32_t number);
  void LoadConfigurationByName(const std::string& name);
  std::vector<std::string> ListConfigurations();
  void Purge();
  void Reconnect();

 private:
  // What the polling thread last found.
  struct Health {
    Tango::DevState state = Tango::INIT;
    std::string status = "Opening the device";
    bool open = false, identity_read = false;
    model::Readings readings;
  };

  void Poll();
  // The next period now (after a change, so that the state and the events follow at once).
  void PollNow();
  bool OpenDevice(Health& h);
  void ReadHealth(Health& h);
  // The State's events when it changed, and the readings' (the identity's after an opening).
  void PushEvents(const Health& h, bool identity);
  // A failed library call as DevFailed: reason KESTRAVO_<code name>, the call and the library's text.
  [[noreturn]] void Fail(int32_t result, const char* call, const char* origin);
  void Check(int32_t result, const char* call, const char* origin) {
    if (result != 0) Fail(result, call, origin);
  }
  void RequireOpen(const char* origin);

  std::string port_;
  uint16_t slot_ = 0;
  bool slot_claimed_ = false;
  uint32_t period_ms_ = 1000;

  std::mutex mutex_;  // guards health_, last_pushed_, the stop and reconnect requests
  std::condition_variable wake_;
  Health health_;
  std::vector<double> last_pushed_;  // per row: the value of the last event, NaN before the first
  std::vector<std::string> last_texts_;
  Tango::DevState pushed_state_ = Tango::UNKNOWN;  // polling thread only
  bool state_pushed_ = false;
  bool stop_ = false, reconnect_ = false, poll_now_ = false;
  std::thread poller_;
  std::string status_copy_;

  // What a read hands to Tango stays here until the reply is sent (calls on one device come one
  // at a time).
  ValueSlots ReplyStorage();
  Tango::DevDouble double_value_ = 0;
  Tango::DevULong ulong_value_ = 0;
  Tango::DevUShort ushort_value_ = 0;
  Tango::DevUChar uchar_value_ = 0;
  Tango::DevBoolean boolean_value_ = false;
  Tango::DevShort enum_value_ = 0;
  std::string text_value_;
  Tango::DevString string_value_ = nullptr;
};

class PulseGeneratorClass : public Tango::DeviceClass {
 public:
  static PulseGeneratorClass* Init(const char* name);

 protected:
  explicit PulseGeneratorClass(std::string& name);
  void command_factory() override;
  void attribute_factory(std::vector<Tango::Attr*>&) override {}
  void device_factory(const Tango::DevVarStringArray* names) override;
  void set_default_property();

 private:
  static PulseGeneratorClass* instance_;
};

}  // namespace tango_server
