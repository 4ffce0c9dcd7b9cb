// Configuration files: the profile reader's lookup rules, the block format against files checked by
// hand, random round trips, and the configuration commands against the simulated device.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "COM-KESTRAVO.h"
#include "control/command.h"
#include "control/config/config.h"
#include "control/config/stored_calls.h"
#include "control/keyloop.h"
#include "model/block_text.h"
#include "model/profile.h"
#ifndef _WIN32
#include "tests/support/child.h"
#endif
#include "tests/support/console_fixture.h"
#include "tests/support/console_script.h"

#ifndef KESTRAVO_TEST_DATA
#define KESTRAVO_TEST_DATA "tests/data"
#endif

namespace {

using testing_support::ReadFile;
using testing_support::TempPath;

std::string Data(const char* name) { return ReadFile(std::string(KESTRAVO_TEST_DATA) + "/" + name); }

// What GetString finds: the value, or "<none>".
std::string Lookup(const std::string& text, const char* section, const char* key, size_t size = 100) {
  model::ProfileFile p = model::ProfileFile::FromText(text);
  std::vector<char> buf(size, '#');
  const size_t n = p.GetString(section, key, buf.data(), size);
  if (!p.Ok) return "<none>";
  EXPECT_EQ(n, std::strlen(buf.data()));
  return buf.data();
}

TEST(ProfileReader, SectionsAndEntriesAreFoundAsTheProfileRulesSay) {
  struct Case {
    const char* text;
    const char* section;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"[A]\nk=1\n", "A", "k", "1"},
      {"[A] trailing text\nk=1\n", "A", "k", "1"},   // text after ']' is ignored
      {" [A]\nk=1\n", "A", "k", "<none>"},           // a header that begins with a blank
      {"[a]\nk=1\n", "A", "k", "<none>"},            // case counts
      {"[A]\nk = 1\n", "A", "k", "<none>"},          // blanks around '='
      {"[A]\n k=1\n", "A", "k", "<none>"},           // a line that begins with a blank
      {"[A]\nk=1\n[A]\nk=2\n", "A", "k", "1"},       // the first section of a name
      {"[A]\nk=1\nk=2\n", "A", "k", "1"},            // the first entry of a key
      {"[A]\nx=1\n[B]\nk=2\n", "A", "k", "<none>"},  // an entry of a later section
      {"[A]\n;k=9\n;\nk=1\n", "A", "k", "1"},        // comments after the header
      {"[A]\nx=1\n;c\nk=1;not a comment\n", "A", "k", "1;not a comment"},
      {"[A]", "A", "k", "<none>"},  // a header on the last line
      {"[A]\n", "A", "k", "<none>"},
      {"[A]\n;only a comment\n", "A", "k", "<none>"},
      {"[A]\n\nk=\n", "A", "k", ""},             // an empty value is found
      {"[A]\r\nk=1\r\nm=2\r\n", "A", "m", "2"},  // CR LF
      {"[A]\rk=1\rm=2", "A", "m", "2"},          // bare CR, no final line end
      {"[A]\nk=1 \n", "A", "k", "1 "},           // blanks belong to the value
      {"[Configuration12]\nk=1\n[Configuration1]\nk=2\n", "Configuration1", "k", "<none>"},  // prefix: ends
      {"[Configuration1]\nk=2\n[Configuration12]\nk=1\n", "Configuration12", "k", "1"},
      {"[Conf]\nk=1\n[Configuration1]\nk=2\n", "Configuration1", "k", "2"},      // a shorter header differs
      {"[A]\nOscillatorEnable=Y\nOscillator=5\n", "A", "Oscillator", "<none>"},  // a longer key: ends
      {"[A]\nOscillator=5\nOscillatorEnable=Y\n", "A", "OscillatorEnable", "Y"},
      {"[A]\nOsc\nOscillator=5\n", "A", "Oscillator", "5"},  // a line shorter than the key
      {"x\n[A]\nk=1\n", "A", "k", "1"},
      {"[A]\nk", "A", "k", "<none>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Lookup(c.text, c.section, c.key), c.value) << c.text;
  // A value longer than the buffer is cut; the next lookup is not disturbed.
  model::ProfileFile p = model::ProfileFile::FromText("[A]\nk=123456789\nm=2\n");
  char small[5];
  EXPECT_EQ(p.GetString("A", "k", small, sizeof small), 4u);
  EXPECT_STREQ(small, "1234");
  EXPECT_EQ(Lookup("[A]\nk=123456789\nm=2\n", "A", "m"), "2");
  // A file that cannot be opened.
  model::ProfileFile missing = control::ReadProfile("/nonexistent/file.ini");
  EXPECT_EQ(missing.Ok, 0);
  EXPECT_EQ(missing.GetString("A", "k", small, sizeof small), 0u);
}

TEST(ProfileReader, NumbersAndFlagsReadWholeOrFail) {
  model::ProfileFile p = model::ProfileFile::FromText(
      "[A]\nhex=1Fh\nbin=101b\nbad=12x\nempty=\nbig=4294967296\ny=y\nn=n\nyes=Yes\nyb=Y \n"
      "long=11111111111111111111111111111111b\nlonger=000000000000000000000000000000000000000001\n");
  struct Case {
    const char* key;
    int ok;
    uint32_t value;
  };
  const Case numbers[] = {{"hex", 1, 31},
                          {"bin", 1, 5},
                          {"bad", 0, 77},
                          {"empty", 1, 77},
                          {"big", 0, 77},
                          {"none", 0, 77},
                          {"long", 1, 0xFFFFFFFF},
                          // A value that does not fit the buffer fails; it is never cut to another number.
                          {"longer", 0, 77}};
  for (const Case& c : numbers) {
    uint32_t v = 77;
    p.GetUnsigned("A", c.key, v);
    EXPECT_EQ(p.Ok, c.ok) << c.key;
    EXPECT_EQ(v, c.value) << c.key;
  }
  const Case flags[] = {{"y", 1, 1}, {"n", 1, 0}, {"yes", 0, 7}, {"yb", 0, 7}, {"empty", 1, 7}};
  for (const Case& c : flags) {
    uint8_t f = 7;
    p.GetBool("A", c.key, f);
    EXPECT_EQ(p.Ok, c.ok) << c.key;
    EXPECT_EQ(f, c.value) << c.key;
  }
  // keepStatusIfMissing restores the status for a missing or empty entry only.
  uint32_t v = 0;
  p.Ok = 0;
  p.GetUnsigned("A", "none", v, true);
  EXPECT_EQ(p.Ok, 0);
  p.Ok = 1;
  p.GetUnsigned("A", "none", v, true);
  EXPECT_EQ(p.Ok, 1);
}

// The golden file: every line written and read by hand from the format's rules.
extern "C" void kestravo_fill_block_in_c(uint8_t* block);

// The header's accessors, from C: each field lands in its bytes and leaves its neighbours, and
// the configuration text reads the same block.
TEST(ConfigFormat, HeaderAccessorsPlaceEachFieldAndTheTextReadsThem) {
  uint8_t b[model::kBlockSize] = {};
  kestravo_fill_block_in_c(b);
  EXPECT_EQ(b[COM_KESTRAVO_CFG_PULSER_DELAYS + 8], 0xEF);
  EXPECT_EQ(b[COM_KESTRAVO_CFG_PULSER_DELAYS + 11], 0xDE);
  EXPECT_EQ(b[COM_KESTRAVO_CFG_PULSER_SOURCES_2_3], 0xBF);      // pulser 2: 3Fh, pulser 3's low bits: 2
  EXPECT_EQ(b[COM_KESTRAVO_CFG_PULSER_SOURCES_2_3 + 1], 0x0A);  // pulser 3's high bits
  EXPECT_EQ(b[COM_KESTRAVO_CFG_TRIGGER_MAPPING + 2], 0x1F);     // mapping 4 cut to 4 bits, the on bit
  EXPECT_EQ(b[COM_KESTRAVO_CFG_FLAGS], 0x40);
  const std::string text = model::ConfigText(b);
  // Index 31 lies past the 18 sources: it reads as the last of them.
  EXPECT_NE(text.find("Pulser2=3735928559,0,PulsRun3,Neg\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Pulser3=0,0,PulsOut0,Neg\n"), std::string::npos) << text;
  EXPECT_NE(text.find("MappingTrigger=Y,0,0,0,0,15\n"), std::string::npos) << text;
  EXPECT_NE(text.find("DisableDithering=Y\n"), std::string::npos) << text;
}

TEST(ConfigFormat, GoldenFileReadsToTheBlockAndWritesBack) {
  const std::string golden = Data("current_config.ini");
  model::ProfileFile p = model::ProfileFile::FromText(golden);
  uint8_t b[model::kBlockSize];
  std::string failed;
  ASSERT_TRUE(model::ParseConfigText(p, "CurrentConfiguration", b, failed)) << failed;
  const std::pair<int, uint8_t> bytes[] = {
      {0, 0x57},  {1, 0x00},                           // flags
      {2, 0x41},  {3, 0x0A},                           // pulsers 2 and 3: SwTrig, Din6 negated
      {4, 0xF1},  {5, 0x07},                           // enable delays 1, 15, 7, 0
      {6, 0x11},  {7, 0x24},                           // outputs DIO0 and DIO4, terminations DIO2 and DIO5
      {8, 0x05},  {11, 0xFF}, {12, 0xFF}, {13, 0xFF},  // burst sizes
      {14, 0x82}, {15, 0xA9}, {16, 0x46},              // pulser 0, burst 0, pulser 1, burst 1
      {29, 0x10}, {30, 0x32}, {31, 0x04},              // trigger mapping 0..4, disabled
      {32, 0x0F}, {33, 0x07}, {34, 0x11},              // enable mapping 15,0,7,0,1, enabled
      {35, 10},   {43, 0xFF}, {46, 0xFF},              // delays
      {51, 50},   {55, 20},                            // widths
      {67, 0xE8}, {68, 0x03},                          // oscillator 1000
      {71, 0x32}, {72, 0x0F}, {73, 0xF0}, {74, 0x99},  // trigger delays
  };
  for (auto [offset, value] : bytes) EXPECT_EQ(b[offset], value) << offset;
  EXPECT_EQ("[CurrentConfiguration]\n" + model::ConfigText(b), golden);
}

TEST(ConfigFormat, StoredConfigurationWithEscapedNameAndCrLf) {
  const std::string golden = Data("stored_config.ini");
  model::ProfileFile p = model::ProfileFile::FromText(golden);
  char text[1024];
  ASSERT_TRUE(p.GetWhole("Configuration7", "Name", text, sizeof text));
  uint8_t name[model::kNameSize];
  ASSERT_TRUE(model::UnescapeConfigName(text, name));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name), 18), std::string("Tab\there \\ and \xC8\x05", 18));
  EXPECT_EQ(name[18], 0);
  uint8_t b[model::kBlockSize];
  ASSERT_TRUE(control::ReadConfigText("x", p, "Configuration7", b));
  std::string lf = golden;
  for (size_t at; (at = lf.find('\r')) != std::string::npos;) lf.erase(at, 1);
  EXPECT_EQ("[Configuration7]\nName=" + model::EscapeConfigName(name) + "\n" + model::ConfigText(b), lf);
}

TEST(ConfigFormat, NameEscapes) {
  uint8_t name[model::kNameSize] = {};
  const char raw[] = "a\\b\tc\rd\ne\x01\xC8\x7F";
  std::memcpy(name, raw, sizeof raw - 1);
  EXPECT_EQ(model::EscapeConfigName(name), "a\\\\b\\tc\\rd\\ne\\x 1\\xC8\x7F");
  uint8_t full[model::kNameSize];
  std::memset(full, 'z', sizeof full);  // 52 bytes without a terminator
  EXPECT_EQ(model::EscapeConfigName(full), std::string(52, 'z'));
  uint8_t back[model::kNameSize];
  for (const char* bad : {"end\\", "\\q", "\\x", "\\x1", "\\xG1", "\\x1 ", "\\x  "})
    EXPECT_FALSE(model::UnescapeConfigName(bad, back)) << bad;
  ASSERT_TRUE(model::UnescapeConfigName("\\xc8\\x 5", back));
  EXPECT_EQ(back[0], 0xC8);
  EXPECT_EQ(back[1], 0x05);
  ASSERT_TRUE(model::UnescapeConfigName(std::string(60, 'q').c_str(), back));  // cut to 52
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 52), std::string(52, 'q'));
  ASSERT_TRUE(model::UnescapeConfigName("", back));  // an empty name is a name
  EXPECT_EQ(back[0], 0);
}

// Blocks as the text carries them: bits that no entry holds are 0, sources beyond their lists are
// their lists' last index, and a DIO with both bits set is an output.
void Normalize(uint8_t* b) {
  auto group = [&](int off, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | b[off + i];
    return v;
  };
  auto put = [&](int off, int n, uint32_t v) {
    for (int i = 0; i < n; ++i) b[off + i] = uint8_t(v >> (8 * i));
  };
  auto clamp = [&](int off, int n, int shift, uint32_t last) {
    uint32_t g = group(off, n);
    uint32_t f = g >> shift & 0x3F;
    if ((f & 0x1F) > last) f = (f & 0x20) | last;
    put(off, n, (g & ~(0x3Fu << shift)) | f << shift);
  };
  put(0, 2, group(0, 2) & 0x7F);
  put(2, 2, group(2, 2) & 0xFFF);
  b[6] &= 0x7F;
  b[7] &= 0x7F & ~b[6];
  put(26, 3, group(26, 3) & 0x3FFFF);
  put(29, 3, group(29, 3) & 0x1FFFFF);
  put(32, 3, group(32, 3) & 0x1FFFFF);
  for (int s : {0, 6}) clamp(2, 2, s, 17);
  for (int s : {0, 6, 12, 18})
    clamp(14, 3, s, 17), clamp(17, 3, s, 17), clamp(20, 3, s, 17), clamp(23, 3, s, 19);
  for (int s : {0, 6, 12}) clamp(26, 3, s, 19);
}

TEST(ConfigFormat, RandomBlocksRoundTrip) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 2000; ++round) {
    uint8_t b[model::kBlockSize], back[model::kBlockSize];
    for (uint8_t& x : b) x = uint8_t(random());
    model::ProfileFile p = model::ProfileFile::FromText("[S]\n" + model::ConfigText(b));
    std::string failed;
    ASSERT_TRUE(model::ParseConfigText(p, "S", back, failed)) << failed;
    Normalize(b);
    ASSERT_EQ(std::memcmp(b, back, sizeof b), 0) << round;
  }
}

TEST(ConfigFormat, EntriesThatFail) {
  const std::string golden = Data("current_config.ini");
  struct Case {
    const char* from;
    const char* to;
    const char* failed;  // nullptr: reads
  };
  const Case cases[] = {
      {"Oscillator=1000", "Oscillator=3E8h", nullptr},
      {"Oscillator=1000", "Oscillator=", "Oscillator"},  // found, but no number
      {"Oscillator=1000", "Oscillator=4294967296", "Oscillator"},
      {"Pulser0=10,50,Osc0,Pos", "Pulser0=3E8h,50,osc0,POS", nullptr},   // "%lu" stops at E; tokens any case
      {"Pulser0=10,50,Osc0,Pos", "Pulser0=10, 50,Osc0,Pos", nullptr},    // a blank before a number
      {"Pulser0=10,50,Osc0,Pos", "Pulser0=10,50, Osc0,Pos", "Pulser0"},  // a blank before a token
      {"Pulser0=10,50,Osc0,Pos", "Pulser0=10,50,CLK2M,Pos", "Pulser0"},  // a DIO-only source
      {"Pulser0=10,50,Osc0,Pos", "Pulser0=9,10,50,Osc0,Pos", nullptr},   // one field too many in front
      {"Pulser0=10,50,Osc0,Pos", "Pulser0=10,4294967296,Osc0,Pos", "Pulser0"},
      {"Pulser0=10,50,Osc0,Pos", "Pulser0=10,-1,Osc0,Pos", "Pulser0"},
      {"Pulser0=10,50,Osc0,Pos", "Pulser0=10,x,Osc0,Pos", "Pulser0"},
      {"Pulser0=10,50,Osc0,Pos", "Pulser0=50,Osc0,Pos", "Pulser0"},  // a comma missing
      {"Pulser0=10,50,Osc0,Pos", "Pulser0=Osc0,Pos", "Pulser0"},
      {"Burst1=16777215,PulsRun3,Pos", "Burst1=16777216,PulsRun3,Pos", nullptr},  // low 24 bits
      {"DIO2=Term,CLK2M,Neg", "DIO2=term,clk2m,neg", nullptr},
      {"DIO2=Term,CLK2M,Neg", "DIO2=Both,CLK2M,Neg", "DIO2"},
      {"SwitchTrigger1=Din1,Neg,15,0", "SwitchTrigger1=Din1,Neg,16,0", "SwitchTrigger1"},
      {"SwitchEnable1=0,Pos,15", "SwitchEnable1=0,Pos,16", "SwitchEnable1"},
      {"MappingEnable=Y,15,0,7,0,1", "MappingEnable=y,15,0,7,0,1", "MappingEnable"},
      {"MappingEnable=Y,15,0,7,0,1", "MappingEnable=Y,15,0,7,0,16", "MappingEnable"},
      {"MappingEnable=Y,15,0,7,0,1", "MappingEnable=Y,0,7,0,1", "MappingEnable"},
      {"DisableDithering=Y", "DisableDithering=", "DisableDithering"},
      {"DisableDithering=Y\n", "", "DisableDithering"},
      {"SoftwarePulse=Y", "SoftwarePulse=yes", "SoftwarePulse"},
  };
  for (const Case& c : cases) {
    std::string text = golden;
    text.replace(text.find(c.from), std::strlen(c.from), c.to);
    model::ProfileFile p = model::ProfileFile::FromText(text);
    uint8_t b[model::kBlockSize];
    std::string failed;
    const bool ok = model::ParseConfigText(p, "CurrentConfiguration", b, failed);
    EXPECT_EQ(ok, c.failed == nullptr) << c.to;
    if (!ok && c.failed) {
      EXPECT_EQ(failed, c.failed) << c.to;
    }
  }
  // A zero byte inside a value would end it early ("1094" of "1094\0795585"): the entry fails.
  for (const auto& [from, to, key] :
       {std::tuple<std::string, std::string, const char*>{"Oscillator=1000",
                                                          std::string("Oscillator=1000\0"
                                                                      "5",
                                                                      17),
                                                          "Oscillator"},
        {"Pulser0=10,50,Osc0,Pos", std::string("Pulser0=10,50,Osc0,Pos\0x", 24), "Pulser0"},
        {"DisableDithering=Y", std::string("DisableDithering=Y\0", 19), "DisableDithering"}}) {
    std::string text = golden;
    text.replace(text.find(from), from.size(), to);
    model::ProfileFile p = model::ProfileFile::FromText(text);
    uint8_t b[model::kBlockSize];
    std::string failed;
    EXPECT_FALSE(model::ParseConfigText(p, "CurrentConfiguration", b, failed)) << key;
    EXPECT_EQ(failed, key);
  }
  model::ProfileFile names = model::ProfileFile::FromText(std::string("[Configuration1]\nName=CC\0CC\n", 28));
  char name[64];
  EXPECT_FALSE(names.GetWhole("Configuration1", "Name", name, sizeof name));
  EXPECT_TRUE(names.HasEntry("Configuration1", "Name"));
}

// The commands against a simulated device that keeps its store in a file.
class ConfigCommandTest : public testing_support::ConsoleTest {
 protected:
  struct Store {
    uint8_t blocks[126][75];
    uint8_t names[126][52];
    uint8_t active[126], valid[126];
    bool operator==(const Store& o) const { return std::memcmp(this, &o, sizeof *this) == 0; }
  };
  Store ReadStore() {
    Store s{};
    EXPECT_EQ(COM_KESTRAVO_GetConfigList(0, s.active, s.valid), 0);
    for (uint32_t n = 0; n < 126; ++n) {
      EXPECT_EQ(COM_KESTRAVO_GetConfigData(0, n, s.blocks[n]), 0);
      EXPECT_EQ(COM_KESTRAVO_GetConfigName(0, n, s.names[n]), 0);
    }
    return s;
  }
  // Fills every place with its own block and name.
  void FillStore() {
    for (uint32_t n = 0; n < 126; ++n) {
      uint8_t block[75], name[52] = {};
      for (int i = 0; i < 75; ++i) block[i] = uint8_t(n * 7 + i);
      block[0] &= 0x7F;
      std::snprintf(reinterpret_cast<char*>(name), sizeof name, "Set %u", n + 1);
      ASSERT_EQ(COM_KESTRAVO_SetConfigData(0, n, block), 0);
      ASSERT_EQ(COM_KESTRAVO_SetConfigName(0, n, name), 0);
      ASSERT_EQ(COM_KESTRAVO_SetConfigFlags(0, n, 1, 1), 0);
    }
  }
  // The device keeps its store in a file, as a real one keeps it across power cycles.
  void SetUp() override {
    ConsoleTest::SetUp();
    COM_KESTRAVO_Close(0);
    device_ = NewSim(6, nv_);
    OpenSlot(0, 6);
  }
  void TearDown() override {
    std::remove(path_.c_str());
    ConsoleTest::TearDown();
    std::remove(nv_.c_str());
  }
  std::string path_ = TempPath("configs.ini"), nv_ = TempPath("configs-nv.txt");
};

TEST_F(ConfigCommandTest, SaveAndLoadAllRoundTripAndABadSectionChangesNothing) {
  FillStore();
  ASSERT_EQ(COM_KESTRAVO_SetConfigFlags(0, 3, 0, 1), 0);  // deleted: not saved
  Store before = ReadStore();
  for (auto& block : before.blocks) Normalize(block);  // what the text carries
  control::State.quiet = true;
  control::SaveAllConfigsToFile(path_.c_str());
  std::string file = ReadFile(path_);
  EXPECT_EQ(file.find("[Configuration4]"), std::string::npos);
  EXPECT_EQ(file.rfind("[Configuration1]\nName=Set 1\nOscillator=", 0), 0u) << file.substr(0, 100);
  EXPECT_NE(file.find("DisableDithering=N\n\n[Configuration2]\n"), std::string::npos);
  Out();

  // A bad entry in section 90: the store stays as it was, with the message for that entry.
  std::string bad = file;
  const size_t at = bad.find("[Configuration90]");
  bad.replace(bad.find("MappingTrigger=", at), 16, "MappingTrigger=y");
  FILE* f = std::fopen(path_.c_str(), "w");
  std::fwrite(bad.data(), 1, bad.size(), f);
  std::fclose(f);
  for (uint32_t n = 0; n < 126; ++n) ASSERT_EQ(COM_KESTRAVO_SetConfigFlags(0, n, 0, 0), 0);
  const Store wiped = ReadStore();
  // The progress lines (on standard error, the output being no terminal) up to the bad section's,
  // as if the ones before had been written.
  control::State.quiet = false;
  testing::internal::CaptureStderr();
  control::LoadAllConfigsFromFile(path_.c_str());
  std::string progress;
  for (int n = 1; n <= 90; ++n) progress += "Processing configuration #" + std::to_string(n) + "\n";
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            progress + "COM-KESTRAVO-Control: " + path_ +
                ": section 'Configuration90', entry 'MappingTrigger' is missing or wrong\n");
  control::State.quiet = true;
  EXPECT_EQ(Out(), "Error reading the data file '" + path_ +
                       "', Section 'Configuration90', Entry 'MappingTrigger'\n");
  EXPECT_TRUE(ReadStore() == wiped);

  // The good file loads back every saved set.
  f = std::fopen(path_.c_str(), "w");
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  control::LoadAllConfigsFromFile(path_.c_str());
  Store after = ReadStore();
  EXPECT_EQ(after.valid[3], 0);  // the deleted one was not in the file
  std::memcpy(after.blocks[3], before.blocks[3], 75);
  std::memcpy(after.names[3], before.names[3], 52);
  after.active[3] = before.active[3];
  after.valid[3] = before.valid[3];
  EXPECT_TRUE(after == before);

  // What was loaded is the device's own: a new run of the device from its file has it.
  const Store stored = ReadStore();
  COM_KESTRAVO_Close(0);
  device_ = NewSim(6, nv_);
  OpenSlot(0, 6);
  EXPECT_TRUE(ReadStore() == stored);
}

#ifndef _WIN32
TEST_F(ConfigCommandTest, AFailedSaveLeavesTheOldFileByteForByte) {
  FillStore();
  const std::string old = "[Configuration1]\nkeep me\n";
  FILE* f = std::fopen(path_.c_str(), "w");
  std::fwrite(old.data(), 1, old.size(), f);
  std::fclose(f);
  // The file size limit makes the writes fail part-way, as a full disk would.
  testing_support::Child child = testing_support::StartChild(
      [&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string out;
        testing_support::CaptureOutput(&out);
        control::SaveAllConfigsToFile(path_.c_str());
        control::SaveCurrentConfigToFile(path_.c_str());
        control::SaveConfigToFile(0, path_.c_str());
        testing_support::CaptureOutput(nullptr);
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
        _exit(0);
      },
      false);
  std::string out;
  testing_support::ReadToEnd(child, out);
  EXPECT_EQ(testing_support::Finish(child), 0);
  EXPECT_EQ(ReadFile(path_), old);
  EXPECT_NE(out.find("Error closing the data file " + path_ + "\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("saved"), std::string::npos) << out;  // no success after a failed close
  // No temporary file is left beside it (this process's: tests running beside it save theirs in the
  // same folder).
  const std::string dir = path_.substr(0, path_.rfind('/'));
  const std::string base = path_.substr(path_.rfind('/') + 1);
  EXPECT_EQ(std::system(("ls -a '" + dir + "' | grep -qF '." + base + ".'").c_str()) != 0, true);
}
#endif

TEST_F(ConfigCommandTest, ConfirmationsYesNoAndEndOfInput) {
  FillStore();
  // The commands flush what was typed before their question: answers come after it.
  for (const char* answer : {"n\n", "", "y\n"}) {
    Type({"", answer});
    control::DeleteConfig(4);
    uint8_t active = 9, valid = 9;
    ASSERT_EQ(COM_KESTRAVO_GetConfigFlags(0, 4, &active, &valid), 0);
    EXPECT_EQ(active, std::string(answer) == "y\n" ? 0 : 1) << answer;
  }
  EXPECT_EQ(Out(),
            "Delete the configuration #5 'Set 5' [y/n]? \nDelete the configuration #5 'Set 5' [y/n]? \n"
            "Delete the configuration #5 'Set 5' [y/n]? \nConfiguration #5 'Set 5' deleted\n");
  control::DeleteConfig(4);
  EXPECT_EQ(Out(), "Configuration #5 'Set 5' is already deleted!\n");
  Type({"", "Y\n"});
  control::UndeleteConfig(4);
  EXPECT_EQ(Out(), "Undelete the configuration #5 'Set 5' [y/n]? \nConfiguration #5 'Set 5' undeleted\n");

  // Wiping out all needs two yes answers.
  Type({"y\n", "n\n"});
  control::WipeOutAllConfigs();
  EXPECT_EQ(ReadStore().valid[0], 1);
  Type({"y\n", "y\n"});
  testing::internal::CaptureStderr();
  control::WipeOutAllConfigs();
  const std::string progress = testing::internal::GetCapturedStderr();
  const std::string out = Out();
  EXPECT_NE(out.find("continue [y/n]? \nAll configurations were wiped out\n"), std::string::npos) << out;
  EXPECT_NE(progress.find("Wiping out configuration #125\nWiping out configuration #126\n"),
            std::string::npos);
  const Store s = ReadStore();
  EXPECT_EQ(s.valid[0] + s.valid[125] + s.active[60], 0);
  // A wiped-out place asks nothing.
  control::WipeOutConfig(7);
  EXPECT_EQ(Out(), "Configuration #8 '' wiped out\n");
}

TEST_F(ConfigCommandTest, AFailedFlagReadOfTheNvmSetCommandsStartsOnANewLine) {
  control::State.PortNumber = 5;  // not open: every call fails
  control::SaveCurrentConfigToStore(0);
  control::LoadCurrentConfigFromStore(0);
  const std::string line = std::string("\nError at COM_KESTRAVO_GetConfigFlags: ") +
                           COM_KESTRAVO_GetErrorMessage(5) +
                           ", I/O Error Message: " + COM_KESTRAVO_GetIOErrorMessage(5) + "\n";
  EXPECT_EQ(Out(), line + line);
}

TEST_F(ConfigCommandTest, StoreCommandsAndTheirMessages) {
  control::ListConfigs(false);
  control::ShowConfigName(0);
  control::LoadCurrentConfigFromStore(0);
  control::SaveCurrentConfigToStore(0);
  control::SetConfigName(0, "A name that is much longer than the fifty-two bytes the device keeps");
  control::ShowConfigName(0);
  control::ListConfigs(false);
  control::ListConfigs(true);
  EXPECT_EQ(Out(),
            "No active configurations found\n"
            "Cannot get the name of the configuration #1 since it is invalid!\n"
            "Configuration #1 is invalid!\n"
            "Current configuration saved to NVM set #1\n"
            "Name of configuration #1 set to 'A name that is much longer than the fifty-two bytes '\n"
            "Name of configuration #1: 'A name that is much longer than the fifty-two bytes '\n"
            "Active configuration(s):\n  1: 'A name that is much longer than the fifty-two bytes '\n"
            "No deleted configurations found\n");
  Type({"", "y\n"});
  control::SaveCurrentConfigToStore(0);
  EXPECT_EQ(
      Out(),
      "Configuration #1 'A name that is much longer than the fifty-two bytes ' is valid, overwrite anyway "
      "[y/n]?\n\nCurrent configuration saved to NVM set #1 'A name that is much longer than the fifty-two "
      "bytes '\n");
}

TEST_F(ConfigCommandTest, SwitchRowsAndMenu) {
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"COM-KESTRAVO-Control", "6"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    int i = 2;
    return control::RunSwitch(int(argv.size()), argv.data(), i);
  };
  control::State.quiet = true;
  EXPECT_EQ(run({"-KL0"}), 2);
  EXPECT_EQ(run({"-KL127"}), 2);
  EXPECT_EQ(run({"-KS126"}), 0);
  EXPECT_EQ(run({"-KL7Eh"}), 0);
  EXPECT_EQ(run({"-KLx"}), 2);
  EXPECT_EQ(run({"-KT1"}), 2);
  EXPECT_EQ(run({"-Kl"}), 3);  // the file name is missing
  EXPECT_EQ(run({"-KN126", "Named"}), 0);
  EXPECT_EQ(run({"-Kw126", path_}), 0);
  EXPECT_EQ(run({"-kC"}), 2);
  EXPECT_EQ(Out(),
            "Current configuration saved to NVM set #126\nCurrent configuration loaded from NVM set #126 ''\n"
            "Name of configuration #126 set to 'Named'\n");
  EXPECT_EQ(ReadFile(path_).rfind("[Configuration126]\nName=Named\n", 0), 0u);

  const std::string menu =
      "Press 't' to reset current configuration,\n      'l'/'s' to load/save current configuration,\n"
      "      'L'/'S' to load/save current configuration from/to NVM,\n"
      "      'c'/'d' to list active/deleted configurations,\n      'N'/'n' to set/get name of a "
      "configuration,\n"
      "      'r'/'w' to load/save data of a configuration,\n      'R'/'W' to load/save data of all "
      "configurations,\n"
      "      'X'/'x'/'p' to delete/undelete/wipe out a configuration,\n"
      "      'A'/'a'/'P' to delete/undelete/wipe out all configurations: ";
  struct Case {
    std::vector<std::string> keys;
    std::string output;
  };
  const Case cases[] = {
      {{"K", "\x1b"}, menu + "\n"},
      {{"K", "L", "0\n"},
       menu + "\nLoad current configuration\nEnter the configuration number in the NVM: \n"
              "Invalid configuration number specified!\n"},
      {{"K", "L", "0h\n"},
       menu + "\nLoad current configuration\nEnter the configuration number in the NVM: \n"
              "Invalid configuration number specified!\n"},
      {{"K", "L", "abc\n"},
       menu + "\nLoad current configuration\nEnter the configuration number in the NVM: \n"},
      {{"K", "n", "126\n"},
       menu + "\nGet name of a configuration\nEnter the configuration number in the NVM: \n"
              "Name of configuration #126: 'Named'\n"},
      {{"K", "q", "k", "c"}, menu + "\nList active configurations\nActive configuration(s):\n126: 'Named'\n"},
      {{"K", "r", "126\n", "\x1b"},
       menu + "\nLoad data of a configuration\nEnter the configuration number in the "
              "NVM: \nEnter the filename for the configuration data: \n"},
      {{"K", "r", "126\n", std::string(300, 'f') + "\n"},
       menu + "\nLoad data of a configuration\nEnter the configuration number in the NVM: \nEnter the "
              "filename for "
              "the configuration data: \n"},  // an over-long name is refused, nothing opened
  };
  for (const Case& c : cases) {
    Type(c.keys);
    control::KeyLoop();
    EXPECT_EQ(Out(), c.output) << c.keys[1];
  }
}

}  // namespace
