#include "model/result_names.h"

#include "COM-KESTRAVO.h"

namespace model {
namespace {

struct ResultRow {
  int32_t code;
  const char* name;
};
// Each name once: the row's code is the header's constant of that name.
#define KESTRAVO_RESULT(name) \
  { COM_KESTRAVO_##name, #name }
const ResultRow kResults[] = {
    KESTRAVO_RESULT(OK),
    KESTRAVO_RESULT(PORT_NUMBER_RANGE),
    KESTRAVO_RESULT(OPEN_FAILED),
    KESTRAVO_RESULT(CLOSE_FAILED),
    KESTRAVO_RESULT(PURGE_FAILED),
    KESTRAVO_RESULT(CONTROL_FAILED),
    KESTRAVO_RESULT(STATUS_FAILED),
    KESTRAVO_RESULT(SEND_COMMAND_FAILED),
    KESTRAVO_RESULT(SEND_DATA_FAILED),
    KESTRAVO_RESULT(SEND_TERMINATION_FAILED),
    KESTRAVO_RESULT(RECEIVE_COMMAND_FAILED),
    KESTRAVO_RESULT(RECEIVE_DATA_FAILED),
    KESTRAVO_RESULT(RECEIVE_TERMINATION_FAILED),
    KESTRAVO_RESULT(WRONG_COMMAND),
    KESTRAVO_RESULT(WRONG_ARGUMENT),
    KESTRAVO_RESULT(BAD_ARGUMENT),
    KESTRAVO_RESULT(BAUD_RATE_FAILED),
    KESTRAVO_RESULT(NOT_CONNECTED),
    KESTRAVO_RESULT(NOT_READY),
    KESTRAVO_RESULT(STILL_READY),
    KESTRAVO_RESULT(DEBUG_OPEN_FAILED),
    KESTRAVO_RESULT(DEBUG_CLOSE_FAILED),
};
#undef KESTRAVO_RESULT

}  // namespace

const char* ResultName(int32_t code) {
  for (const ResultRow& row : kResults)
    if (row.code == code) return row.name;
  return "UNKNOWN";
}

}  // namespace model
