#include "control/console.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "COM-KESTRAVO.h"
#include "control/state.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/terminal.h"

using platform::Print;

namespace control {

char EntryBuffer[512];
char TimeText[256];

void WaitKey() {
  while (!platform::WaitForKey(1000)) {
  }
}

int ReadKey() { return platform::ReadKeyCode(); }

void FlushKeys() {
  while (platform::KeyPending() && !platform::InputEnded() && !platform::TerminalInterrupted()) ReadKey();
}

// On Windows this also waits until the keys are released; a terminal reports no releases.
void DrainKeys() { FlushKeys(); }

int ParseUnsigned(const char* text, uint32_t& value) {
  size_t len = std::strlen(text);
  if (len == 0) return kNumberEmpty;
  char last = text[len - 1];
  int radix = last == 'h' ? 16 : last == 'b' ? 2 : 10;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text, &end, radix);
  if (end == text) return kNumberInvalid;
  const char* expected_end = radix == 10 ? text + len : text + len - 1;
  if (end != expected_end) return kNumberInvalid;
  // strtoull's "-1" wraps and large values saturate: neither is a 32-bit number.
  if (errno == ERANGE || v > 0xFFFFFFFFull || std::strchr(text, '-')) return kNumberInvalid;
  value = uint32_t(v);
  return kNumberParsed;
}

bool PromptNumber(const char* prompt, uint32_t& value) {
  return PromptWord(prompt, EntryBuffer, sizeof EntryBuffer) && ParseUnsigned(EntryBuffer, value) == kNumberParsed;
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

void ReportError(const char* operation) {
  char line[512];
  std::snprintf(line, sizeof line, "Error at %s: %s, I/O Error Message: %s\n", operation,
                COM_KESTRAVO_GetErrorMessage(State.PortNumber), COM_KESTRAVO_GetIOErrorMessage(State.PortNumber));
  Print("%s", line);
  NoteFailure(kFailedDeviceCall, line);
}

void FileError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char line[1024];
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  Print("%s", line);
  NoteFailure(kFailedFile, line);
}

bool StopRequested() { return platform::TerminalInterrupted(); }

bool ReadInputFile(const char* path, std::string& text) {
  const platform::ReadResult result = platform::ReadBounded(path, platform::kInputFileLimit, text);
  if (result == platform::ReadResult::kTooLarge)
    Print("Data file '%s' is longer than %u bytes: not read\n", path, unsigned(platform::kInputFileLimit));
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

const char* FormatSeconds(uint32_t s) {
  unsigned h = s / 3600, m = (s % 3600) / 60, sec = s % 60;
  if (h)
    std::snprintf(TimeText, sizeof TimeText, "%d:%02d:%02d sec.", h, m, sec);
  else if (m)
    std::snprintf(TimeText, sizeof TimeText, "%d:%02d sec.", m, sec);
  else
    std::snprintf(TimeText, sizeof TimeText, "%d sec.", sec);
  return TimeText;
}

const char* FormatSecondsFraction(uint32_t s, uint16_t ms) {
  unsigned h = s / 3600, m = (s % 3600) / 60, sec = s % 60, hundredths = ms / 10;
  if (h)
    std::snprintf(TimeText, sizeof TimeText, "%d:%02d:%02d.%02d sec.", h, m, sec, hundredths);
  else if (m)
    std::snprintf(TimeText, sizeof TimeText, "%d:%02d.%02d sec.", m, sec, hundredths);
  else
    std::snprintf(TimeText, sizeof TimeText, "%d.%02d sec.", sec, hundredths);
  return TimeText;
}

DisplayFrame::DisplayFrame(bool announce) {
  if (announce && !State.quiet) Print("Press 'Esc' to quit\n");
  platform::MarkRow();
}

int DisplayFrame::Label(const char* format, ...) {
  va_list args;
  va_start(args, format);
  platform::PrintV(format, args);
  va_end(args);
  if (fields_ >= kMaxFields) return kMaxFields - 1;
  row_[fields_] = platform::CursorRow();
  column_[fields_] = platform::CursorColumn();
  if (row_[fields_] > last_row_) last_row_ = row_[fields_];
  return fields_++;
}

void DisplayFrame::BeginPass() {
  if (!platform::OutputIsTerminal()) Print("\n");
  first_value_ = true;
}

void DisplayFrame::Value(int field, const char* format, ...) {
  if (platform::OutputIsTerminal()) {
    platform::MoveCursor(row_[field], column_[field]);
  } else if (!first_value_) {
    Print(" ");
  }
  first_value_ = false;
  va_list args;
  va_start(args, format);
  platform::PrintV(format, args);
  va_end(args);
  std::fflush(stdout);
}

bool DisplayFrame::EscPressed() {
  if (!platform::KeyPending()) return false;
  if (ReadKey() != platform::kEsc) return false;
  Print("\n");
  return true;
}

void DisplayFrame::End() {
  if (platform::OutputIsTerminal()) platform::MoveCursor(last_row_, 0);
  Print("\n");
}

void DisplayFrame::Failed(const char* operation, bool newline) {
  if (newline) Print("\n");
  ReportError(operation);
}

}  // namespace control
