// The console helpers: number parser, time formatters, key decoder, program name.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "control/cmdline.h"
#include "control/command.h"
#include "control/common/console.h"
#include "control/monitor/commands.h"
#include "control/texts.h"
#include "model/json_text.h"
#include "model/numbers.h"
#include "platform/terminal.h"
#ifdef _WIN32
#include "tests/support/console_script.h"
#else
#include "tests/support/child.h"
#endif

namespace {

TEST(ParseUnsigned, RadixSuffixesAndLimits) {
  struct Case {
    const char* text;
    int result;
    uint32_t value;
  };
  const Case cases[] = {
      {"1Fh", 0, 31},
      {"101b", 0, 5},
      {"12", 0, 12},
      {"12h", 0, 18},
      {"1Fb", model::kNumberInvalid, 0},
      {"12x", model::kNumberInvalid, 0},
      {"", model::kNumberEmpty, 0},
      {"1bh", 0, 27},
      {"1b", 0, 1},
      {" 12", 0, 12},
      {"12 ", model::kNumberInvalid, 0},
      {"4294967295", 0, 4294967295u},
      {"4294967296", model::kNumberInvalid, 0},
      {"FFFFFFFFh", 0, 0xFFFFFFFFu},
      {"100000000h", model::kNumberInvalid, 0},
      {"-1", model::kNumberInvalid, 0},
      {"12H", model::kNumberInvalid, 0},
      {"h", model::kNumberInvalid, 0},
      {"99999999999999999999999", model::kNumberInvalid, 0},
  };
  for (const Case& c : cases) {
    uint32_t v = 12345;
    EXPECT_EQ(model::ParseUnsigned(c.text, v), c.result) << "'" << c.text << "'";
    EXPECT_EQ(v, c.result == 0 ? c.value : 12345u) << "'" << c.text << "'";
  }
}

TEST(JsonText, NumbersAndTextsThatEveryParserReadsBack) {
  const struct {
    double value;
    const char* json;
  } numbers[] = {{12.018, "12.018"}, {48e6, "48000000"}, {-0.0, "0"},         {1e-8, "1e-08"},
                 {0.1 + 0.2, "0.3"}, {1e300, "1e+300"},  {1.0 / 0.0, "null"}, {0.0 / 0.0, "null"}};
  for (const auto& n : numbers) EXPECT_EQ(model::JsonNumber(n.value), n.json) << n.value;
  // 0.1 + 0.2 is not 0.3: fifteen digits are the most a double keeps for certain.
  const struct {
    const char* text;
    const char* json;
  } texts[] = {
      {"plain", "\"plain\""},
      {"quote \" back\\slash", "\"quote \\\" back\\\\slash\""},
      {"line\nend\ttab\x1b[1A", "\"line\\nend\\ttab\\u001B[1A\""},
      {"caf\xC3\xA9", "\"caf\xC3\xA9\""},              // UTF-8 stays
      {"bad \xE9 byte", "\"bad \xEF\xBF\xBD byte\""},  // a Latin-1 byte is no UTF-8
      {"cut \xC3", "\"cut \xEF\xBF\xBD\""},            // a sequence cut short
      {"overlong \xC0\xAF", "\"overlong \xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"surrogate \xED\xA0\x80", "\"surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const auto& t : texts) EXPECT_EQ(model::JsonString(t.text), t.json) << t.text;
  model::JsonObject o;
  o.Integer("n", -3)
      .Bool("b", true)
      .Members(model::JsonObject().Text("t", "x"))
      .Array("a", model::JsonArray().Number(0.5).Object(model::JsonObject()));
  EXPECT_EQ(o.Json(), "{\"n\":-3,\"b\":true,\"t\":\"x\",\"a\":[0.5,{}]}");
}

TEST(FormatTimes, DaysHoursMinutesSecondsAndFractions) {
  const std::pair<uint32_t, const char*> seconds[] = {
      {0, "0 sec."}, {59, "59 sec."}, {60, "1:00 sec."}, {3600, "1:00:00 sec."}, {90061, "25:01:01 sec."}};
  for (auto [s, text] : seconds) EXPECT_EQ(control::FormatSeconds(s), text);
  EXPECT_EQ(control::FormatSecondsFraction(5, 7), "5.00 sec.");
  EXPECT_EQ(control::FormatSecondsFraction(65, 990), "1:05.99 sec.");
  EXPECT_EQ(control::FormatSecondsFraction(3725, 500), "1:02:05.50 sec.");
}

struct Bytes {
  std::string data;
  size_t at = 0;
};
int NextByte(void* ctx, int) {
  auto* b = static_cast<Bytes*>(ctx);
  return b->at < b->data.size() ? static_cast<unsigned char>(b->data[b->at++]) : -1;
}
void Unread(void* ctx, int) { --static_cast<Bytes*>(ctx)->at; }

TEST(KeyDecoder, TerminalSequencesDecodeToTheConsoleKeyCodes) {
  const std::pair<const char*, int> keys[] = {
      {"a", 'a'},
      {"\x1b", 27},
      {"\x1b[A", 256 + 72},
      {"\x1bOA", 256 + 72},
      {"\x1b[B", 256 + 80},
      {"\x1b[D", 256 + 75},
      {"\x1b[C", 256 + 77},
      {"\x1bOP", 256 + 59},
      {"\x1b[11~", 256 + 59},
      {"\x1b[[A", 256 + 59},
      {"\x1b[[E", 256 + 63},
      {"\x1b[15~", 256 + 63},
      {"\x1b[21~", 256 + 68},
      {"\x1b[23~", 256 + 133},
      {"\x1b[24~", 256 + 134},
      {"\x1b[3~", 256 + 83},
      {"\x1b[2~", 256 + 82},
      {"\x1b[5~", 256 + 73},
      {"\x1b[6~", 256 + 81},
      {"\x1b[H", 256 + 71},
      {"\x1b[F", 256 + 79},
      {"\x1b[1;5D", 256 + 115},
      {"\x1b[1;5C", 256 + 116},
      {"\x1b[1;2P", 256 + 84},
      {"\x1b[15;5~", 256 + 98},
      {"\x1b[1;3A", 256 + 152},
      {"\x1b[24;2~", 256 + 136},
      {"\x1b[99~", 256},
      {"\x1b[9999999999~", 256},  // a parameter beyond any key's (it overflowed an int)
      {"\x1b[1;5", 256},
      {"\x1bx", 256},
      {"", 27},
  };
  for (auto [seq, code] : keys) {
    Bytes b{seq};
    EXPECT_EQ(platform::DecodeKey(NextByte, Unread, &b), code)
        << "sequence of " << std::string(seq).size() << " bytes";
    EXPECT_EQ(b.at, b.data.size()) << "all bytes of a sequence are taken";
  }
  Bytes two{"\x1b[Az"};
  EXPECT_EQ(platform::DecodeKey(NextByte, Unread, &two), 256 + 72);
  EXPECT_EQ(platform::DecodeKey(NextByte, Unread, &two), 'z');
  // Esc directly followed by a function key: two keys.
  Bytes esc_f5{"\x1b\x1b[15~"};
  EXPECT_EQ(platform::DecodeKey(NextByte, Unread, &esc_f5), 27);
  EXPECT_EQ(platform::DecodeKey(NextByte, Unread, &esc_f5), 256 + 63);
}

TEST(ProgramName, FromTheLastSeparatorUpToTheFirstPoint) {
  char buf[64];
  EXPECT_STREQ(control::ProgramName("/usr/bin/COM-KESTRAVO-Control", buf, sizeof buf),
               "COM-KESTRAVO-Control");
  EXPECT_STREQ(control::ProgramName("C:\\tools\\COM-KESTRAVO-Control.exe", buf, sizeof buf),
               "COM-KESTRAVO-Control");
  EXPECT_STREQ(control::ProgramName("./ctl.v2.bin", buf, sizeof buf), "ctl");
  EXPECT_STREQ(control::ProgramName("", buf, sizeof buf), "");
}

}  // namespace

namespace {

// Runs body in a child whose standard input is the given text and whose standard output is
// captured; returns that output followed by "|" and what body returned.
#ifdef _WIN32
// No fork on Windows: the text is typed through the scripted console, as from a pipe.
std::string InChild(const std::string& input, const std::function<std::string()>& body) {
  std::string output;
  platform::SetTerminalModes(false, false, 80);
  testing_support::CaptureOutput(&output);
  testing_support::ScriptInput({input});
  const std::string result = body();
  testing_support::CaptureOutput(nullptr);
  testing_support::ScriptInput({});
  return output + "|" + result;
}
#else
std::string InChild(const std::string& input, const std::function<std::string()>& body) {
  testing_support::Child child = testing_support::StartChild([&] {
    std::string result = body();
    std::printf("|%s", result.c_str());
    std::fflush(stdout);
  });
  testing_support::SendAndClose(child, input);
  std::string output;
  testing_support::ReadToEnd(child, output);
  testing_support::Finish(child);
  return output;
}
#endif

// ReadWord `words` times, then ReadCharEcho: what they read, one result per line ("-": failed).
std::string ReadWordsFrom(const std::string& input, size_t size, int words) {
  std::string all = InChild(input, [&] {
    std::string result;
    for (int i = 0; i < words; ++i) {
      std::vector<char> buf(size);
      result += platform::ReadWord(buf.data(), size) ? std::string(buf.data()) : std::string("-");
      result += "\n";
    }
    char c = 0;
    result += platform::ReadCharEcho(c) ? std::string(1, c) : std::string("-");
    return result;
  });
  return all.substr(all.find('|') + 1);
}

TEST(WordInput, TheRestOfTheLineIsDroppedAndLongWordsAreRefused) {
  // A word ends at white space; what else was typed on its line never runs as keys or words.
  EXPECT_EQ(ReadWordsFrom("12h rest of line\n  7\nxyz\n", 512, 2), "12h\n7\nx");
  // A word that fits exactly is read; a longer one is refused, never cut to another name.
  EXPECT_EQ(ReadWordsFrom(std::string(511, 'a') + "\nb\n", 512, 1), std::string(511, 'a') + "\nb");
  EXPECT_EQ(ReadWordsFrom(std::string(512, 'a') + "\nb\n", 512, 1), "-\nb");
  EXPECT_EQ(ReadWordsFrom(std::string(300, 'f') + " g\nh\n", 260, 1), "-\nh");
  EXPECT_EQ(ReadWordsFrom(std::string(300, 'f'), 260, 1), "-\n-");
  // End of input and Esc end a prompt without a word.
  EXPECT_EQ(ReadWordsFrom("", 512, 1), "-\n-");
  EXPECT_EQ(ReadWordsFrom("\x1b", 512, 1), "-\n-");
  EXPECT_EQ(ReadWordsFrom("\n", 512, 1), "-\n-");
}

}  // namespace

namespace {

TEST(Selectors, AcceptOnlyTheirKeys) {
  // Function keys, letters and digits above the highest are dropped without echo; Esc abandons.
  EXPECT_EQ(InChild("\x1b[15~x93", [] { return std::to_string(control::SelectDigit('3', false)); }), "3\n|3");
  EXPECT_EQ(InChild("7y", [] { return std::to_string(control::SelectDigit('4', true)); }), "Y\n|89");
  EXPECT_EQ(InChild("q\x1b", [] { return std::to_string(control::SelectDigit('6', false, " %u\n")); }),
            "\n|-1");
  EXPECT_EQ(InChild("5", [] { return std::to_string(control::SelectDigit('6', false, " %u\n")); }), " 5\n|5");
  EXPECT_EQ(InChild("", [] { return std::to_string(control::SelectDigit('6', false)); }), "\n|-1");
  EXPECT_EQ(InChild("zxd", [] { return std::to_string(control::SelectLetter("DA")); }), "|68");
}

TEST(Prompts, NumberFileNameAndCharacter) {
  auto number = [] {
    uint32_t v = 0;
    return control::PromptNumber("Enter the oscillator period: ", v) ? std::to_string(v)
                                                                     : std::string("none");
  };
  EXPECT_EQ(InChild("3E8h\n", number), "Enter the oscillator period: \n|1000");
  EXPECT_EQ(InChild("12x\n", number), "Enter the oscillator period: \n|none");
  EXPECT_EQ(InChild("", number), "Enter the oscillator period: \n|none");
  auto file = [] {
    char name[control::kFileNameSize];
    return control::PromptFileName("File name: ", name) ? std::string(name) : std::string("none");
  };
  EXPECT_EQ(InChild("setup.txt more\n", file), "File name: |setup.txt");
  EXPECT_EQ(InChild("", file), "File name: \n|none");
  auto character = [] {
    char c = 0;
    return control::PromptCharacter(c) ? std::string(1, c) : std::string("none");
  };
  EXPECT_EQ(InChild("T\n", character), "\n|T");
  EXPECT_EQ(InChild("", character), "\n|none");
}

}  // namespace

namespace {

// Every key the help text lists and every switch letter the usage text lists has a row in the
// program's tables, so that nothing advertised silently does nothing. Letters whose commands are
// not built yet are listed here until they are.
const std::string kNotYetKeys = "";
const std::string kNotYetSwitches = "";

TEST(CommandTables, EveryAdvertisedKeyHasARow) {
  const std::string help = control::kHelpText;
  const std::string listed = help.substr(0, help.find("Notes:"));
  int checked = 0;
  for (size_t q = listed.find('\''); q != std::string::npos; q = listed.find('\'', q + 1)) {
    if (q + 2 >= listed.size() || listed[q + 2] != '\'') continue;  // not a single quoted key
    const char key = listed[q + 1];
    q += 2;  // past the closing quote
    ++checked;
    if (kNotYetKeys.find(key) != std::string::npos) continue;
    EXPECT_TRUE(control::FindKey(key) || control::SelectForm(key, true)) << key;
  }
  EXPECT_GT(checked, 40);
}

TEST(CommandTables, EveryAdvertisedSwitchHasARow) {
  char usage[8192];
  std::snprintf(usage, sizeof usage, "%s", control::kUsageText);
  std::string text = usage;
  text = text.substr(text.find("Options:"), text.find("Notes:") - text.find("Options:"));
  std::string letters;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    // The columns of a line are two or more blanks apart; each entry is "forms: what it does".
    for (size_t at = line.find_first_not_of(' '); at != std::string::npos;) {
      size_t next = line.find("  ", at);
      std::string entry = line.substr(at, next == std::string::npos ? std::string::npos : next - at);
      at = next == std::string::npos ? next : line.find_first_not_of(' ', next);
      size_t colon = entry.find(':');
      if (colon == std::string::npos || entry[0] == '(') continue;
      std::string forms = entry.substr(0, colon);
      if (forms.find(' ') != std::string::npos && forms[0] != '@') continue;  // a heading
      for (size_t f = 0; f < forms.size(); f = forms.find_first_of(",/", f) == std::string::npos
                                                   ? forms.size()
                                                   : forms.find_first_of(",/", f) + 1)
        letters += forms[f];
    }
  }
  EXPECT_GT(letters.size(), 60u) << letters;
  for (char c : letters) {
    if (kNotYetSwitches.find(char(std::toupper(c))) != std::string::npos) continue;
    EXPECT_NE(control::FindSwitch(c), nullptr) << c;
  }
}

}  // namespace
