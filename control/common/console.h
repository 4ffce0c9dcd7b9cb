// The small routines all commands of the console program share: keys, prompts, the number
// parser, selectors, the continuous-display frame, the time formatters and the error line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/json_text.h"

namespace control {

void WaitKey();
int ReadKey();
void FlushKeys();
void DrainKeys();

// A number prompt: the prompt, one word into the entry buffer, "\n", the parser. False when
// nothing was read or the word is no number (the command then ends silently).
bool PromptNumber(const char* prompt, uint32_t& value);

// A file-name prompt: the prompt, one word of line input into name (at most 259 characters; a
// longer one is refused). A failed read prints "\n" and gives false.
constexpr size_t kFileNameSize = 260;
bool PromptFileName(const char* prompt, char (&name)[kFileNameSize]);

// A single-character answer: one character with echo, then "\n". False (after "\n") when none came.
bool PromptCharacter(char& c);
// The answer to a yes/no question: one character as PromptCharacter reads it, or 'y' when the
// program was told to answer yes (--yes).
bool AnswerCharacter(char& c);
// A yes/no question: the question, one character, "\n"; true only for 'y' or 'Y'.
bool Confirm(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A word prompt like the number prompt's: the prompt, one word with echo, then "\n" (also after a
// failed read). False when no word (or one too long for the buffer) was read.
bool PromptWord(const char* prompt, char* buffer, size_t size);

// The selectors of the menus: the prompt (printed by the caller), then keys until Esc, a digit
// from '0' to highest or, where allowed, 'Y' or 'N'; every other key is dropped without echo. A
// digit is echoed with digit_echo ("%u\n", or " %u\n" for the DIOs) and returned as its value; 'Y'
// and 'N' are echoed with "%c\n" and returned as the letter; Esc prints "\n" and gives -1.
int SelectDigit(char highest, bool yes_no, const char* digit_echo = "%u\n");
// A letter menu: keys until Esc or one of the accepted letters (compared in upper case, extended
// keys never match). Returns the letter, not echoed, or -1 for Esc (after "\n").
int SelectLetter(const char* accepted);

// A file or port name as the program's lines show it: control characters (an escape sequence, a
// line end) as \xNN, so that a name can neither drive the terminal nor forge a line. Other bytes,
// the backslash of Windows paths included, stay as they are.
std::string Printable(const std::string& name);

void ReportError(const char* operation);
// The line of a file that could not be opened, read, written or closed (a failure of a strict run).
void FileError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for a named file: the line on standard output as the program has always written it, and
// "program: FILE: reason" on standard error (the system's reason, or what is wrong in the file).
void FileFailure(const char* path, const std::string& reason, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// The system's reason for the last failed file call (errno), or "failed" when it gave none.
std::string SystemReason();
// The line of a command that did not do what it was asked because of what the device holds (an
// invalid or deleted place, nothing to save, buffers not purged): a failure of a strict run, with
// the status of a failed device call.
void Refused(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A signal asked the program to end, or a strict run failed: long commands look before each device
// exchange or file step and end at once (a file being saved is then left as after a failure), and
// the program goes straight to its closing.
bool StopRequested();

// Reads an input file (configurations, a memory backup) whole. A file longer than
// platform::kInputFileLimit, or an endless stream, is refused with a line naming it. False when
// nothing was read: the caller goes on as after a failed opening.
bool ReadInputFile(const char* path, std::string& text);

// A progress line of a long operation: on a terminal one that the next output overwrites (the
// cursor goes back to its start); when the output is no terminal, a line of its own on standard
// error, so that standard output holds the results alone. Quiet mode (-Q) drops it.
void ProgressLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Ends a progress line that stands on a terminal, so that a message does not overwrite it.
void EndProgressLine();
// Clears the rest of the line the cursor stands on (terminal output only).
void ClearLine();

// The steps every device routine repeats: in debug mode a progress line before the library call,
// then the call's result, a failure reported with the library function's name.
void Progress(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool Succeeded(int32_t result, const char* operation);

std::string FormatSeconds(uint32_t seconds);
std::string FormatSecondsFraction(uint32_t seconds, uint16_t milliseconds);

// The frame of a continuous display. On a terminal: the labels are printed with the values of the
// first pass that read them all (never with the placeholders of a frame without values), then each
// value is redrawn at the position remembered after its label. When the output is no terminal,
// nothing of the frame is printed as it is drawn: each pass that read all its values becomes one
// line, the labels with the values of that pass (the frame's rows joined by "; "), and a pass whose
// reading failed prints only its error line. Under --json each pass is the object Record gave it.
class DisplayFrame {
 public:
  static constexpr int kMaxFields = 48;
  // Prints "Press 'Esc' to quit" unless quiet or told not to, and anchors the rows. The passes'
  // schedule starts here.
  explicit DisplayFrame(bool announce = true);
  // Prints a label and remembers the position after it; returns the field's number.
  int Label(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Text beside the labels that only a terminal shows (a hint such as the way out).
  void TerminalText(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Writes a value at the remembered position of a field.
  void Value(int field, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // The pass's values for scripts: the JSON object of its kind that EndPass prints under --json.
  void Record(const char* kind, const model::JsonObject& values);
  // Starts a pass; EndPass ends one whose values were all read (its line, without a terminal).
  void BeginPass();
  void EndPass();
  // True when the output is a terminal and the values are drawn in place.
  bool InPlace() const { return in_place_; }
  // Waits for the next pass: own_ms after the last (--interval overrides it), on a fixed schedule
  // from the frame's start, so that a slow pass shortens the next wait; a pass that is late still
  // looks for a key once. False when the display ends: Esc came (other keys are dropped) or --count
  // passes were shown.
  bool NextPass(uint32_t own_ms);
  // A device read failed: "\n" on a terminal (unless told not to), and the error line.
  void Failed(const char* operation, bool newline = true);
  // Leaves the display's last line: "\n" on a terminal once the frame stands there.
  void Leave();
  // Leaves the display: the cursor to the start of its last line, then "\n".
  void End();

 private:
  // Writes text into the rows of the frame or of the pass at a position; returns the position after
  // it, as a terminal would move its cursor.
  static void Put(std::vector<std::string>& rows, int& row, int& column, const std::string& text);

  // On a terminal: prints the first pass, the labels with their values, and remembers where each
  // field stands.
  void Draw();

  bool in_place_;
  bool drawn_ = false;
  const char* kind_ = nullptr;
  model::JsonObject record_;
  uint32_t passes_ = 0;
  uint64_t deadline_ = 0;
  int row_[kMaxFields] = {};
  int column_[kMaxFields] = {};
  int fields_ = 0;
  int last_row_ = 0;
  // Until a terminal shows the frame, and always without one: the frame's rows as its labels drew
  // them, the rows of the pass under way, and where the next label goes.
  std::vector<std::string> frame_rows_, pass_rows_;
  int next_row_ = 0, next_column_ = 0;
};

}  // namespace control
