// The fixed texts of the console program: the usage text after the program name (a printf
// format with one %d, the highest channel number) and the help text of the key loop.
#include "control/texts.h"

namespace control {

const char kPortsHelpText[] = R"(
Ports:
  In place of the COM number: a device path (/dev/ttyUSB0, /dev/serial/by-id/...), sim,
  sim:<file> or rfc2217://host:port. COM n is the device KESTRAVO_COM<n> names, else
  /dev/ttyS<n-1> (on many machines /dev/ttyS0 is the system console).
  --list                      the serial ports of this machine
  --strict, anywhere:         the first failure ends the program with status 2 (opening),
                              3 (a device call failed or the device's state refused the
                              command), 4 (argument) or 5 (file); errors also on stderr
  --yes, anywhere:            answer the y/n questions of restore and configurations with yes
  --trace FILE, anywhere:     debug mode (-G) with the trace in FILE, kept when it exists
                              unless --yes (-G FILE too, FILE not starting with - or /)
  --json, anywhere:           each reading as one JSON object per line on standard output
                              (schema: docs/json-schema), the other text on standard error
  --interval SECONDS:         the pace of the continuous displays and the data log
  --count N:                  end them after N passes (the end of input does not end them)
  Quiet (-Q) drops the progress lines; without it they go to standard error when the output
  is no terminal.
)";

const char kUsageText[] = R"( COM-Number [Switches]
  Switch: { -option, /option }
  Options:
    Pulser settings:
      Operiod,operiod/O,o: set/get oscillator period
      P: get setting of all pulsers
      PuDdelay/Pud:  set/get pulse delay of the pulser #u
      PuWwidth/Puw:  set/get pulse width of the pulser #u
      PuBsize/Pub:   set/get burst size of the pulser #u
      PuCconfig/Puc: set/get configuration of the pulser #u
    Switch settings:
      R: get setting of all switches
      RnTconfig/Rnt: set/get configuration of the switch #n trigger
      RnEconfig/Rne: set/get configuration of the switch #n enable
      RnRdelay/Rnr: set/get rise delay of the switch #n trigger
      RnFdelay/Rnf: set/get fall delay of the switch #n trigger
      RnDdelay/Rnd: set/get delay of the switch #n enable
      RnMmapping/Rnm: set/get mapping #n of the switch trigger
      RnNmapping/Rnn: set/get mapping #n of the switch enable
      RYM,Rym/RNm,Rnm: enable/disable the switch trigger mapping
      RYN,Ryn/RNn,Rnn: enable/disable the switch enable mapping
    DIO settings:
      D: get DIO settings                Dni: get DIOn input configuration
      DnIo,DnIO: set DIOn as output,     DnIi,DnII: set DIOn as input
      DnIt,DnIT: set DIOn as input w/ termination
      Dno: get DIOn output configuration
      DnOconf: set DIOn output configuration
    Controller settings:
      W,w: get controller state,         Wn,wn: set controller state
      A/a: issue software trigger with software trigger=1/0
      ATtPp,aTtPp: issue software trigger, TtPp=4 Boolean arguments [0,1]
       (T/t=software trigger start/stop, P/p=software pulse start/stop)
    Configuration management:
      jy/jn/j: turn on/turn off/show the enable state of the device
      KT,Kt: reset current configuration
      Kl FileName/Ks FileName: load/save current configuration
      KLu/KSu: load/save current configuration from/to NVM set #u
      KC,Kc/KD,Kd: list active/deleted configurations
      KNu name/Knu set/get name of configuration #u
      Kru FileName/Kwu FileName: load/save data of configuration #u
      KR FileName/KW FileName: load/save data of all available configurations
      KXu/Kxu/Kpu: delete/undelete/wipe out configuration #u
      KA/Ka/KP: delete/undelete/wipe out all configurations
        (wiping out cannot be undoed, thus requires confirmation)
    Memory management:
      Y/y FileName: restore/backup memory data
    Control and monitoring:
      L,l: get LED data,                 I,i: get main device status
      S,s: get device status,            M,m: get sensor data
      F,f: get fan data
      X file: create test protocol,      x file: log data
    Device monitoring:
      C,c: get CPU data,                 p: get product identification
      H,h: get device housekeeping,      d: get firmware date
      U,u: get uptime,                   v: get hardware version
      N,n: get product number            V: get firmware version
    General control:
      G,g: debug mode, G: additional I/O debug into Debug.txt
      @ ChanNum: use the specified channel for the communication
                    (allowed value: 0..%d, default=0)
      B,b: get device buffer status,     Z,z: purge communication
      T,t: terminate the program,        Q,q: quiet mode 
      $n: set data rate to n baud,         !: device restart
  Notes:
    1. Use capitals for continuous mode, if available
    2. Integer numbers can also be entered in hexadecimal or binary formats
       by appending 'h' or 'b' specifying the respective radix
)";

const char kHelpText[] = R"(Press 'b','B' to get buffer status,          'z','Z' to purge the communication
      'c','C' to get CPU data,               'u','U' to get uptime
      '!' to restart the device,             'd' to get firmware date
      'v' to get firmware version,           'V' to get hardware type & version
      'p' to get product identification,     'n','N' to get product number
      'R' to get/set switch configuration,   'D' to get/set DIO configuration
      'o','O' to get/set oscillator period,  'a','A' to issue software trigger
      'w','W' to get/set controller state,   'P' to get/set pulser settings
      'j','J' to get/set device enable,      'K' to manage configurations
      'l','L' to get LED data,               'i','I' to get status
      's','S' to get device status,          'm','M' to get sensor data
      'f','F' to get fan data
      'y','Y' to backup/restore memory data, 'h','H' to get device housekeeping
      'x' to log data,                       'X' to create test protocol
      '$' to set data rate,                  '@' to test communication
      'Esc' to stop,                         '?' for this help...
  Notes:
    1. use capitals for continuous mode, if available
    2. integer numbers can also be entered in hexadecimal or binary formats
       by appending 'h' or 'b' specifying the respective radix
)";

}  // namespace control
