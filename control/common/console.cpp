#include "control/common/console.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "COM-KESTRAVO.h"
#include "control/common/json_out.h"
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

void FileFailure(const char* path, const std::string& reason, const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  Print("%s", line);
  NoteFailure(kFailedFile, line, State.program + ": " + Printable(path) + ": " + reason + "\n");
}

std::string SystemReason() {
  const int error = errno;
  return error ? std::strerror(error) : "failed";
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
  if (State.quiet) return;
  va_list args;
  va_start(args, format);
  if (platform::OutputIsTerminal()) {
    platform::PrintV(format, args);
    Print("\r");
    std::fflush(stdout);
  } else {
    std::fflush(stdout);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
  }
  va_end(args);
}

void EndProgressLine() {
  if (!State.quiet && platform::OutputIsTerminal()) Print("\n");
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

DisplayFrame::DisplayFrame(bool announce)
    : in_place_(platform::OutputIsTerminal()), deadline_(platform::TickMs()) {
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
  const std::string text = FormatText(format, args);
  va_end(args);
  if (fields_ >= kMaxFields) return kMaxFields - 1;
  if (in_place_ && drawn_) {
    Print("%s", text.c_str());
    row_[fields_] = platform::CursorRow();
    column_[fields_] = platform::CursorColumn();
  } else {
    // Drawn with the first pass's values (on a terminal), or a line per pass.
    Put(frame_rows_, next_row_, next_column_, text);
    row_[fields_] = next_row_;
    column_[fields_] = next_column_;
  }
  if (row_[fields_] > last_row_) last_row_ = row_[fields_];
  return fields_++;
}

void DisplayFrame::TerminalText(const char* format, ...) {
  if (!in_place_) return;
  va_list args;
  va_start(args, format);
  const std::string text = FormatText(format, args);
  va_end(args);
  if (drawn_)
    Print("%s", text.c_str());
  else
    Put(frame_rows_, next_row_, next_column_, text);
}

void DisplayFrame::Record(const char* kind, const model::JsonObject& values) {
  kind_ = kind;
  record_ = values;
}

void DisplayFrame::BeginPass() { pass_rows_ = frame_rows_; }

void DisplayFrame::Value(int field, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatText(format, args);
  va_end(args);
  if (in_place_ && drawn_) {
    platform::MoveCursor(row_[field], column_[field]);
    Print("%s", text.c_str());
    std::fflush(stdout);
  } else {
    int row = row_[field], column = column_[field];
    Put(pass_rows_, row, column, text);
  }
}

void DisplayFrame::Draw() {
  // The rows of the first pass, printed piece by piece so that each field's position is where the
  // terminal's cursor stood (a row wider than the terminal wraps).
  for (size_t r = 0; r < pass_rows_.size(); ++r) {
    if (r) Print("\r\n");
    const std::string& row = pass_rows_[r];
    size_t printed = 0;
    for (int column = 0; column <= int(row.size()); ++column) {
      for (int f = 0; f < fields_; ++f) {
        if (row_[f] != int(r) || column_[f] != column || row_[f] < 0) continue;
        if (size_t(column) > printed) Print("%s", row.substr(printed, size_t(column) - printed).c_str());
        printed = std::max(printed, size_t(column));
        row_[f] = -1 - platform::CursorRow();  // marked as placed
        column_[f] = platform::CursorColumn();
      }
    }
    if (printed < row.size()) Print("%s", row.substr(printed).c_str());
  }
  last_row_ = 0;
  for (int f = 0; f < fields_; ++f) {
    row_[f] = -1 - row_[f];
    last_row_ = std::max(last_row_, row_[f]);
  }
  last_row_ = std::max(last_row_, platform::CursorRow());
  drawn_ = true;
}

void DisplayFrame::EndPass() {
  ++passes_;
  if (State.json) {
    if (kind_) JsonRecord(kind_, model::JsonObject().Integer("pass", passes_).Members(record_));
    return;
  }
  if (in_place_) {
    if (!drawn_) Draw();
    std::fflush(stdout);
    return;
  }
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

bool DisplayFrame::NextPass(uint32_t own_ms) {
  if (State.count && passes_ >= State.count) return false;
  deadline_ += State.interval_ms >= 0 ? uint64_t(State.interval_ms) : own_ms;
  bool looked = false;
  for (uint64_t now = platform::TickMs(); now < deadline_ || !looked; now = platform::TickMs()) {
    looked = true;
    const uint32_t wait = now < deadline_ ? uint32_t(deadline_ - now) : 0;
    if (platform::WaitForKey(wait)) {
      // With --count the end of input does not end the display (a script's input is often
      // empty): the count does, or a signal.
      if (State.count && platform::InputEnded() && !platform::TerminalInterrupted()) {
        if (wait) platform::Sleep(wait);
        continue;
      }
      if (ReadKey() == platform::kEsc) return false;
    }
    if (wait == 0) break;
  }
  return !StopRequested();
}

void DisplayFrame::Leave() {
  if (in_place_ && drawn_) Print("\n");
}

void DisplayFrame::End() {
  if (!in_place_ || !drawn_) return;
  platform::MoveCursor(last_row_, 0);
  Print("\n");
}

void DisplayFrame::Failed(const char* operation, bool newline) {
  if (newline && in_place_ && drawn_) Print("\n");
  ReportError(operation);
}

}  // namespace control
