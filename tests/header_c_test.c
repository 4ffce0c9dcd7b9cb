/* The public header compiles as C; this translation unit is built by the C compiler. */
#include "COM-KESTRAVO.h"

int kestravo_header_compiles_as_c(void) {
  uint16_t version = COM_KESTRAVO_GetSWVersion();
  return version >= 0x0100 ? 1 : 0;
}

/* The configuration block's accessors, used from C: fills a block with a few fields. */
void kestravo_fill_block_in_c(uint8_t* block) {
  COM_KESTRAVO_SetConfigField(block, COM_KESTRAVO_ConfigFieldOf(COM_KESTRAVO_ITEM_PULSER_DELAY, 2),
                              0xDEADBEEFu);
  COM_KESTRAVO_SetConfigField(block, COM_KESTRAVO_ConfigFieldOf(COM_KESTRAVO_ITEM_SOURCE_SELECTOR, 4), 0x3F);
  COM_KESTRAVO_SetConfigField(block, COM_KESTRAVO_ConfigFieldOf(COM_KESTRAVO_ITEM_SOURCE_SELECTOR, 5), 0x2A);
  COM_KESTRAVO_SetConfigField(block, COM_KESTRAVO_ConfigFieldOf(COM_KESTRAVO_ITEM_TRIGGER_MAPPING_ON, 0), 1);
  COM_KESTRAVO_SetConfigField(block, COM_KESTRAVO_ConfigFieldOf(COM_KESTRAVO_ITEM_TRIGGER_MAPPING, 4), 0x1F);
  COM_KESTRAVO_SetConfigField(block, COM_KESTRAVO_ConfigFieldOf(COM_KESTRAVO_ITEM_FLAG, 6), 1);
}
