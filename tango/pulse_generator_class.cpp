// The device class: its commands, its properties' defaults and the making of its devices.
#include "tango/pulse_generator.h"

namespace tango_server {
namespace {

// The commands, one small class per shape of argument.
class Plain : public Tango::Command {
 public:
  Plain(const char* name, void (*run)(PulseGenerator&), const char* what)
      : Tango::Command(name, Tango::DEV_VOID, Tango::DEV_VOID, "", what, Tango::OPERATOR), run_(run) {}
  CORBA::Any* execute(Tango::DeviceImpl* dev, const CORBA::Any&) override {
    run_(*static_cast<PulseGenerator*>(dev));
    return insert();
  }
  bool is_allowed(Tango::DeviceImpl*, const CORBA::Any&) override { return true; }

 private:
  void (*run_)(PulseGenerator&);
};

class ByNumber : public Tango::Command {
 public:
  ByNumber(const char* name, void (*run)(PulseGenerator&, uint32_t), const char* in)
      : Tango::Command(name, Tango::DEV_USHORT, Tango::DEV_VOID, in, "", Tango::OPERATOR), run_(run) {}
  CORBA::Any* execute(Tango::DeviceImpl* dev, const CORBA::Any& in) override {
    Tango::DevUShort n = 0;
    extract(in, n);
    run_(*static_cast<PulseGenerator*>(dev), n);
    return insert();
  }
  bool is_allowed(Tango::DeviceImpl*, const CORBA::Any&) override { return true; }

 private:
  void (*run_)(PulseGenerator&, uint32_t);
};

class ByName : public Tango::Command {
 public:
  ByName()
      : Tango::Command("LoadConfigurationByName", Tango::DEV_STRING, Tango::DEV_VOID,
                       "The stored configuration's name", "", Tango::OPERATOR) {}
  CORBA::Any* execute(Tango::DeviceImpl* dev, const CORBA::Any& in) override {
    Tango::ConstDevString name = nullptr;
    extract(in, name);
    static_cast<PulseGenerator*>(dev)->LoadConfigurationByName(name ? name : "");
    return insert();
  }
  bool is_allowed(Tango::DeviceImpl*, const CORBA::Any&) override { return true; }
};

class Save : public Tango::Command {
 public:
  Save()
      : Tango::Command("SaveConfiguration", Tango::DEVVAR_LONGSTRINGARRAY, Tango::DEV_VOID,
                       "[number 0 to 125], [name, at most 51 characters]", "", Tango::OPERATOR) {}
  CORBA::Any* execute(Tango::DeviceImpl* dev, const CORBA::Any& in) override {
    const Tango::DevVarLongStringArray* a = nullptr;
    extract(in, a);
    if (a->lvalue.length() != 1 || a->svalue.length() != 1)
      Tango::Except::throw_exception("KESTRAVO_BAD_ARGUMENT",
                                     "SaveConfiguration takes one number and one name",
                                     "KestravoPulseGenerator::SaveConfiguration");
    if (a->lvalue[0] < 0)
      Tango::Except::throw_exception("KESTRAVO_BAD_ARGUMENT",
                                     "No configuration below 0: they run from 0 to 125",
                                     "KestravoPulseGenerator::SaveConfiguration");
    static_cast<PulseGenerator*>(dev)->SaveConfiguration(uint32_t(a->lvalue[0]), a->svalue[0].in());
    return insert();
  }
  bool is_allowed(Tango::DeviceImpl*, const CORBA::Any&) override { return true; }
};

class List : public Tango::Command {
 public:
  List()
      : Tango::Command("ListConfigurations", Tango::DEV_VOID, Tango::DEVVAR_STRINGARRAY, "",
                       "One line per stored configuration: number, tab, name (and tab, deleted)",
                       Tango::OPERATOR) {}
  CORBA::Any* execute(Tango::DeviceImpl* dev, const CORBA::Any&) override {
    const std::vector<std::string> lines = static_cast<PulseGenerator*>(dev)->ListConfigurations();
    auto* out = new Tango::DevVarStringArray();
    out->length(CORBA::ULong(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) (*out)[CORBA::ULong(i)] = CORBA::string_dup(lines[i].c_str());
    return insert(out);
  }
  bool is_allowed(Tango::DeviceImpl*, const CORBA::Any&) override { return true; }
};

}  // namespace

PulseGeneratorClass* PulseGeneratorClass::instance_ = nullptr;

PulseGeneratorClass* PulseGeneratorClass::Init(const char* name) {
  if (!instance_) {
    std::string s(name);
    instance_ = new PulseGeneratorClass(s);
  }
  return instance_;
}

PulseGeneratorClass::PulseGeneratorClass(std::string& name) : Tango::DeviceClass(name) {
  set_default_property();
}

void PulseGeneratorClass::set_default_property() {
  // What each property means, for Jive and tango_admin.
  const struct {
    const char* name;
    const char* description;
    const char* value;
  } kProperties[] = {
      {"Port", "The device's port: /dev/ttyUSB0, rfc2217://host:port, sim, sim:FILE or a COM number", ""},
      {"Slot", "The library's slot, 0 to 15 (the first free one when not given)", ""},
      {"PollingPeriod", "How often the health is read and events pushed, in ms", "1000"},
  };
  for (const auto& p : kProperties) {
    std::string name = p.name, description = p.description, value = p.value;
    if (value.empty())
      add_wiz_dev_prop(name, description);
    else
      add_wiz_dev_prop(name, description, value);
  }
}

void PulseGeneratorClass::command_factory() {
  command_list.push_back(new Plain(
      "On", [](PulseGenerator& d) { d.SetEnable(true); }, "Enables the device"));
  command_list.push_back(new Plain(
      "Off", [](PulseGenerator& d) { d.SetEnable(false); }, "Disables the device"));
  command_list.push_back(new Plain(
      "SoftwareTrigger", [](PulseGenerator& d) { d.SoftwareTrigger(); },
      "A software pulse: the controller's pulse bit set, then cleared"));
  command_list.push_back(new Save());
  command_list.push_back(new ByNumber(
      "LoadConfiguration", [](PulseGenerator& d, uint32_t n) { d.LoadConfiguration(n); },
      "The stored configuration's number, 0 to 125"));
  command_list.push_back(new ByName());
  command_list.push_back(new List());
  command_list.push_back(new Plain(
      "Purge", [](PulseGenerator& d) { d.Purge(); }, "Brings the link back in step with the device"));
  command_list.push_back(new Plain(
      "Reconnect", [](PulseGenerator& d) { d.Reconnect(); }, "Closes the port and opens it again"));
}

void PulseGeneratorClass::device_factory(const Tango::DevVarStringArray* names) {
  for (CORBA::ULong i = 0; i < names->length(); ++i)
    device_list.push_back(new PulseGenerator(this, (*names)[i]));
  for (CORBA::ULong i = 1; i <= names->length(); ++i) {
    auto* dev = static_cast<PulseGenerator*>(device_list[device_list.size() - i]);
    if (Tango::Util::_UseDb && !Tango::Util::_FileDb)
      export_device(dev);
    else
      export_device(dev, dev->get_name().c_str());
  }
}

}  // namespace tango_server
