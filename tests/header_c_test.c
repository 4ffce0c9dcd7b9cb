/* The public header compiles as C; this translation unit is built by the C compiler. */
#include "COM-KESTRAVO.h"

int kestravo_header_compiles_as_c(void) {
  uint16_t version = COM_KESTRAVO_GetSWVersion();
  return version >= 0x0100 ? 1 : 0;
}
