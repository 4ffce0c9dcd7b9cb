// The commands that switches and keys share: one row per letter, with the routine of the small
// and of the capital letter (null where that form does not exist).
#pragma once

namespace control {

struct CommandForm {
  void (*run)(bool continuous);
  bool continuous;
};

struct CommandRow {
  char letter;  // upper case (or the sign itself)
  CommandForm small;
  CommandForm capital;
};

// The row of a letter, or null.
const CommandRow* FindCommand(char upper);
// The form the letter as typed selects, or null. For keys, 'v' and 'V' are the other way round
// from the switches: the key 'v' shows the firmware version.
const CommandForm* SelectForm(int typed, bool key);

}  // namespace control
