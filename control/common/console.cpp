#include "control/common/console.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "COM-KESTRAVO.h"
#include "control/common/state.h"
#include "model/format.h"
#include "model/numbers.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {

void WaitKey() {
  while (!platform::WaitForKey(1000)) {
  }
}

int ReadKey() { return platform::ReadKeyCode(); }

void FlushKeys() {
  while (platform::KeyPending() && !platform::InputEnded() && !platform::TerminalInterrupted()) ReadKey();
}

// The keys typed while a command ran are dropped, so that they do not start the next one.
void DrainKeys() { FlushKeys(); }

bool PromptNumber(const char* prompt, uint32_t& value) {
  char entry[512];
  return PromptWord(prompt, entry, sizeof entry) &&
         model::ParseUnsigned(entry, value) == model::kNumberParsed;
}

bool PromptFileName(const char* prompt, char (&name)[kFileNameSize]) {
  Print("%s", prompt);
  std::fflush(stdout);
  // Line input: the terminal would echo the Enter, so the word reader does.
  if (!platform::ReadWord(name, sizeof name, true)) {
    Print("\n");
    return false;
  }
  return true;
}

bool Confirm(const char* format, ...) {
  va_list args;
  va_start(args, format);
  platform::PrintV(format, args);
  va_end(args);
  char c = 0;
  return AnswerCharacter(c) && (c == 'y' || c == 'Y');
}

bool AnswerCharacter(char& c) {
  if (!State.yes) return PromptCharacter(c);
  Print("y\n");  // --yes answers for the script
  c = 'y';
  return true;
}

bool PromptWord(const char* prompt, char* buffer, size_t size) {
  Print("%s", prompt);
  std::fflush(stdout);
  const bool ok = platform::ReadWord(buffer, size, false);
  Print("\n");
  return ok;
}

bool PromptCharacter(char& c) {
  std::fflush(stdout);
  bool ok = platform::ReadCharEcho(c);
  Print("\n");
  return ok;
}

namespace {

// The next key, upper-cased unless it is an extended key.
int NextMenuKey() {
  std::fflush(stdout);
  WaitKey();
  int key = ReadKey();
  return key < platform::kExtended ? std::toupper(key) : key;
}

}  // namespace

int SelectDigit(char highest, bool yes_no, const char* digit_echo) {
  for (;;) {
    int key = NextMenuKey();
    if (key == platform::kEsc) {
      Print("\n");
      return -1;
    }
    if (key >= '0' && key <= highest) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
      Print(digit_echo, unsigned(key - '0'));
#pragma GCC diagnostic pop
      return key - '0';
    }
    if (yes_no && (key == 'Y' || key == 'N')) {
      Print("%c\n", key);
      return key;
    }
  }
}

int SelectLetter(const char* accepted) {
  for (;;) {
    int key = NextMenuKey();
    if (key == platform::kEsc) {
      Print("\n");
      return -1;
    }
    if (key < platform::kExtended && key != 0 && std::strchr(accepted, key)) return key;
  }
}

std::string Printable(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += char(c);
    }
  }
  return out;
}

void ReportError(const char* operation) {
  char line[512];
  std::snprintf(line, sizeof line, "Error at %s: %s, I/O Error Message: %s\n", operation,
                COM_KESTRAVO_GetErrorMessage(State.PortNumber),
                COM_KESTRAVO_GetIOErrorMessage(State.PortNumber));
  Print("%s", line);
  NoteFailure(kFailedDeviceCall, line);
}

namespace {

void FailureLine(Failure what, const char* format, va_list args) {
  char line[1024];
  std::vsnprintf(line, sizeof line, format, args);
  Print("%s", line);
  NoteFailure(what, line);
}

}  // namespace

void FileError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FailureLine(kFailedFile, format, args);
  va_end(args);
}

void Refused(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FailureLine(kFailedDeviceCall, format, args);
  va_end(args);
}

bool StopRequested() { return platform::TerminalInterrupted() || StrictRunFailed(); }

bool ReadInputFile(const char* path, std::string& text) {
  const platform::ReadResult result = platform::ReadBounded(path, platform::kInputFileLimit, text);
  if (result == platform::ReadResult::kTooLarge)
    Print("Data file '%s' is longer than %u bytes: not read\n", Printable(path).c_str(),
          unsigned(platform::kInputFileLimit));
  return result == platform::ReadResult::kRead;
}

void Progress(const char* format, ...) {
  if (!State.debug) return;
  va_list args;
  va_start(args, format);
  platform::PrintV(format, args);
  va_end(args);
}

void ProgressLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  platform::PrintV(format, args);
  va_end(args);
  Print("%s", platform::OutputIsTerminal() ? "\r" : "\n");
  std::fflush(stdout);
}

void EndProgressLine() {
  if (platform::OutputIsTerminal()) Print("\n");
}

void ClearLine() {
  if (platform::OutputIsTerminal()) Print("\x1b[K");
}

bool Succeeded(int32_t result, const char* operation) {
  if (result == 0) return true;
  ReportError(operation);
  return false;
}

std::string FormatSeconds(uint32_t s) {
  unsigned h = s / 3600, m = (s % 3600) / 60, sec = s % 60;
  if (h) return model::Format("%d:%02d:%02d sec.", h, m, sec);
  if (m) return model::Format("%d:%02d sec.", m, sec);
  return model::Format("%d sec.", sec);
}

std::string FormatSecondsFraction(uint32_t s, uint16_t ms) {
  unsigned h = s / 3600, m = (s % 3600) / 60, sec = s % 60, hundredths = ms / 10;
  if (h) return model::Format("%d:%02d:%02d.%02d sec.", h, m, sec, hundredths);
  if (m) return model::Format("%d:%02d.%02d sec.", m, sec, hundredths);
  return model::Format("%d.%02d sec.", sec, hundredths);
}

namespace {

std::string FormatText(const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
}

}  // namespace

DisplayFrame::DisplayFrame(bool announce) : in_place_(platform::OutputIsTerminal()) {
  if (announce && !State.quiet) Print("Press 'Esc' to quit\n");
  platform::MarkRow();
}

void DisplayFrame::Put(std::vector<std::string>& rows, int& row, int& column, const std::string& text) {
  for (char c : text) {
    if (c == '\n') {
      ++row;
      column = 0;
    } else if (c == '\r') {
      column = 0;
    } else if (c == '\t') {
      column = (column / 8 + 1) * 8;
    } else {
      if (size_t(row) >= rows.size()) rows.resize(size_t(row) + 1);
      std::string& line = rows[size_t(row)];
      if (line.size() <= size_t(column)) line.resize(size_t(column) + 1, ' ');
      line[size_t(column++)] = c;
    }
  }
  if (size_t(row) >= rows.size()) rows.resize(size_t(row) + 1);
}

int DisplayFrame::Label(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int row = 0, column = 0;
  if (in_place_) {
    platform::PrintV(format, args);
    row = platform::CursorRow();
    column = platform::CursorColumn();
  } else {
    Put(frame_rows_, next_row_, next_column_, FormatText(format, args));
    row = next_row_;
    column = next_column_;
  }
  va_end(args);
  if (fields_ >= kMaxFields) return kMaxFields - 1;
  row_[fields_] = row;
  column_[fields_] = column;
  if (row > last_row_) last_row_ = row;
  return fields_++;
}

void DisplayFrame::TerminalText(const char* format, ...) {
  if (!in_place_) return;
  va_list args;
  va_start(args, format);
  platform::PrintV(format, args);
  va_end(args);
}

void DisplayFrame::BeginPass() { pass_rows_ = frame_rows_; }

void DisplayFrame::Value(int field, const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (in_place_) {
    platform::MoveCursor(row_[field], column_[field]);
    platform::PrintV(format, args);
    std::fflush(stdout);
  } else {
    int row = row_[field], column = column_[field];
    Put(pass_rows_, row, column, FormatText(format, args));
  }
  va_end(args);
}

void DisplayFrame::EndPass() {
  if (in_place_) return;
  std::string line;
  for (const std::string& row : pass_rows_) {
    const size_t first = row.find_first_not_of(' '), last = row.find_last_not_of(' ');
    if (first == std::string::npos) continue;
    // The first row keeps its own start; the others stand in the line without their indent.
    const size_t from = line.empty() ? 0 : first;
    // A row that ends in a colon is the heading of the rows after it.
    if (!line.empty()) line += line.back() == ':' ? " " : "; ";
    line.append(row, from, last + 1 - from);
  }
  Print("%s\n", line.c_str());
  std::fflush(stdout);
}

bool DisplayFrame::EscPressed() {
  if (!platform::KeyPending()) return false;
  if (ReadKey() != platform::kEsc) return false;
  if (in_place_) Print("\n");
  return true;
}

void DisplayFrame::End() {
  if (!in_place_) return;
  platform::MoveCursor(last_row_, 0);
  Print("\n");
}

void DisplayFrame::Failed(const char* operation, bool newline) {
  if (newline && in_place_) Print("\n");
  ReportError(operation);
}

}  // namespace control
