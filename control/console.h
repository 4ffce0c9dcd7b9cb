// The small routines all commands of the console program share: keys, prompts, the number
// parser, selectors, the continuous-display frame, the time formatters and the error line.
#pragma once
#include <cstddef>
#include <cstdint>

namespace control {

extern char EntryBuffer[512];
extern char TimeText[256];

void WaitKey();
int ReadKey();
void FlushKeys();
void DrainKeys();

// 0 and the value; -1 for an empty text; -2 for a text that is not a number of the radix its
// suffix names ('h' hexadecimal, 'b' binary, none decimal) or does not fit in 32 bits.
int ParseUnsigned(const char* text, uint32_t& value);

// A number prompt: the prompt, one word into the entry buffer, "\n", the parser. False when
// nothing was read or the word is no number (the command then ends silently).
bool PromptNumber(const char* prompt, uint32_t& value);

void ReportError(const char* operation);

const char* FormatSeconds(uint32_t seconds);
const char* FormatSecondsFraction(uint32_t seconds, uint16_t milliseconds);

// The frame of a continuous display: labels printed once, each value redrawn at the position
// remembered after its label. With output that is not a terminal, each pass goes on a line of
// its own instead.
class DisplayFrame {
 public:
  static constexpr int kMaxFields = 48;
  // Prints "Press 'Esc' to quit" unless quiet, and anchors the rows.
  DisplayFrame();
  // Prints a label and remembers the position after it; returns the field's number.
  int Label(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Writes a value at the remembered position of a field.
  void Value(int field, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Starts a pass (on a new line when the output is no terminal).
  void BeginPass();
  // Reads a pending key: true when it was Esc (after printing "\n"); other keys are dropped.
  bool EscPressed();
  // A device read failed: "\n" (unless told not to) and the error line.
  void Failed(const char* operation, bool newline = true);

 private:
  int row_[kMaxFields] = {};
  int column_[kMaxFields] = {};
  int fields_ = 0;
  bool first_value_ = true;
};

}  // namespace control
