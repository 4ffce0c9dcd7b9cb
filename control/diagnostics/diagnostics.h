// Maintenance and diagnostics: memory backup and restore, the communication test, the test
// protocol and the data log; their file formats as pure functions.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "COM-KESTRAVO.h"
#include "control/common/switch_args.h"

namespace control {

void BackupMemory(const char* path);
void RestoreMemory(const char* path);
int MemorySwitch(SwitchArgs& a);
void BackupKey();
void RestoreKey();

// The communication test (key '@').
double TransferRate(uint32_t bytes, uint64_t ms);
void CommunicationTest();

// The test protocol.
struct ReadingStats {
  double Sum = 0, SumOfSquares = 0;
  int32_t Count = 0;
  double Max = 0, Min = 0;
  void Add(double x);
  double Mean() const;
  double Sigma() const;  // population standard deviation
};
void TestProtocol(const char* path);
int ProtocolSwitch(SwitchArgs& a);
void ProtocolKey();

// The data log: a record every 250 ms, under a heading line of eleven tab-separated names.
void DataLog(const char* path);
int DataLogSwitch(SwitchArgs& a);
void DataLogKey();

// -y, -Y, -X, -x: the file name is the next argument, nothing may follow the letter.
int FileSwitch(SwitchArgs& a, void (*run)(const char* path));

}  // namespace control
