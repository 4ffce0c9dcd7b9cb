// COM-KESTRAVO-Tango: the Tango device server of the KESTRAVO pulse generator, class
// KestravoPulseGenerator. Started as every Tango server is: INSTANCE, then Tango's own options
// (-file=DB.res for a file database, -ORBendPoint ..., -v4).
#include <tango.h>

#include <cstdio>
#include <cstring>

#include "COM-KESTRAVO.h"
#include "tango/attributes.h"
#include "tango/pulse_generator.h"

void Tango::DServer::class_factory() {
  add_class(tango_server::PulseGeneratorClass::Init("KestravoPulseGenerator"));
}

namespace {

const char kUsage[] =
    "Usage: COM-KESTRAVO-Tango INSTANCE [-file=DB.res] [-ORBendPoint giop:tcp:HOST:PORT] [-vN]\n"
    "       COM-KESTRAVO-Tango --attributes | --help | --version\n"
    "Serves the devices of class KestravoPulseGenerator that the Tango database (or the file\n"
    "database) names for COM-KESTRAVO-Tango/INSTANCE; each device's property Port names its\n"
    "pulse generator. --attributes prints the attribute table.\n";

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) return std::fputs(kUsage, stdout), 0;
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
    return std::printf("COM-KESTRAVO-Tango %s\n", COM_KESTRAVO_GetLibraryVersion()), 0;
  if (argc == 2 && std::strcmp(argv[1], "--attributes") == 0)
    return std::fputs(tango_server::AttributeTable().c_str(), stdout), 0;
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "COM-KESTRAVO-Tango: the instance name is missing\n%s", kUsage);
    return 4;
  }
  try {
    Tango::Util* tg = Tango::Util::init(argc, argv);
    tg->server_init(false);
    std::printf("Ready to accept request\n");
    std::fflush(stdout);
    tg->server_run();
  } catch (std::bad_alloc&) {
    std::fprintf(stderr, "COM-KESTRAVO-Tango: out of memory\n");
    return 1;
  } catch (CORBA::Exception& e) {
    Tango::Except::print_exception(e);
    return 1;
  }
  Tango::Util::instance()->server_cleanup();
  return 0;
}
