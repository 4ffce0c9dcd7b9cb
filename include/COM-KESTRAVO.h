/* COM-KESTRAVO: control of the KESTRAVO pulse generator over a serial line.
 *
 * Up to sixteen devices at once, each in a port slot named by PortNumber (0 to 15). Every function
 * takes PortNumber first and returns a signed 32-bit result code, 0 on success; the result is also
 * kept as the slot's interface state (except -1, "PortNumber out of range"), whose text
 * COM_KESTRAVO_GetErrorMessage returns. Out-parameters hold valid values only after a result of 0.
 *
 * Threads: calls on different slots may run at the same time from different threads; calls on the
 * same slot are serialised by the slot's lock (a second thread waits until the first call has
 * returned), so each call still sees one whole exchange. The texts of the message functions are
 * constant. A slot's interface state is the result of the last call on it from any thread: a
 * thread that needs the text of its own failure should not share its slot. */
#ifndef COM_KESTRAVO_H
#define COM_KESTRAVO_H

#include <stdint.h>

/* Version of this library release (the shared object's soname carries the major number). The
 * device protocol version the library reports is COM_KESTRAVO_GetSWVersion's. */
#define COM_KESTRAVO_VERSION_MAJOR 1
#define COM_KESTRAVO_VERSION_MINOR 1
#define COM_KESTRAVO_VERSION_PATCH 0
#define COM_KESTRAVO_VERSION_STRING "1.1.0"

/* The exported functions: C calling convention (cdecl), undecorated names, on every system. A
 * Windows program links them through the import library (COM-KESTRAVO.lib) or loads the DLL by
 * name; define COM_KESTRAVO_DLLIMPORT to declare them __declspec(dllimport). */
#if defined(_WIN32) && defined(KESTRAVO_BUILDING_LIBRARY)
#define COM_KESTRAVO_API __declspec(dllexport)
#elif defined(_WIN32) && defined(COM_KESTRAVO_DLLIMPORT)
#define COM_KESTRAVO_API __declspec(dllimport)
#elif defined(KESTRAVO_BUILDING_LIBRARY)
#define COM_KESTRAVO_API __attribute__((visibility("default")))
#else
#define COM_KESTRAVO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of every function returning int32_t, kept as the slot's interface state (except
 * COM_KESTRAVO_PORT_NUMBER_RANGE); COM_KESTRAVO_GetErrorMessage gives the text in quotes. */
enum COM_KESTRAVO_Result {
  COM_KESTRAVO_OK = 0,                           /* "No error" */
  COM_KESTRAVO_PORT_NUMBER_RANGE = -1,           /* "PortNumber out of range" (PortNumber above 15) */
  COM_KESTRAVO_OPEN_FAILED = -2,                 /* "Error opening the port" */
  COM_KESTRAVO_CLOSE_FAILED = -3,                /* "Error closing the port" */
  COM_KESTRAVO_PURGE_FAILED = -4,                /* "Error purging the port" */
  COM_KESTRAVO_CONTROL_FAILED = -5,              /* "Error setting the port control lines" */
  COM_KESTRAVO_STATUS_FAILED = -6,               /* "Error reading the port status lines" */
  COM_KESTRAVO_SEND_COMMAND_FAILED = -7,         /* "Error sending command" */
  COM_KESTRAVO_SEND_DATA_FAILED = -8,            /* "Error sending data" */
  COM_KESTRAVO_SEND_TERMINATION_FAILED = -9,     /* "Error sending termination character" */
  COM_KESTRAVO_RECEIVE_COMMAND_FAILED = -10,     /* "Error receiving command" */
  COM_KESTRAVO_RECEIVE_DATA_FAILED = -11,        /* "Error receiving data" */
  COM_KESTRAVO_RECEIVE_TERMINATION_FAILED = -12, /* "Error receiving termination character" */
  COM_KESTRAVO_WRONG_COMMAND = -13,              /* "Wrong command received" (the echo, or '?'; on every
                                                  * call: replies read out of step, which
                                                  * COM_KESTRAVO_Purge mends) */
  COM_KESTRAVO_WRONG_ARGUMENT = -14,             /* "Wrong argument received" (the echoed fields) */
  COM_KESTRAVO_BAD_ARGUMENT = -15,               /* "Wrong argument passed to the function" (no traffic) */
  COM_KESTRAVO_BAUD_RATE_FAILED = -16,           /* "Error setting the baud rate" */
  COM_KESTRAVO_NOT_CONNECTED = -100,             /* "Device not connected" (DSR or DCD low) */
  COM_KESTRAVO_NOT_READY = -101,                 /* "Device not ready" (CTS stayed low) */
  COM_KESTRAVO_STILL_READY = -102,               /* "Device state could not be set to not ready" */
  COM_KESTRAVO_DEBUG_OPEN_FAILED = -400,         /* "Error opening the file for debugging output" */
  COM_KESTRAVO_DEBUG_CLOSE_FAILED = -401         /* "Error closing the file for debugging output" */
};

/* Port error codes of the slot's serial port (COM_KESTRAVO_GetIOState), with the texts of
 * COM_KESTRAVO_GetIOErrorMessage. */
enum COM_KESTRAVO_IOState {
  COM_KESTRAVO_IO_OK = 0,                 /* "No error" */
  COM_KESTRAVO_IO_NOT_OPEN = 1,           /* "Port has not been opened yet" */
  COM_KESTRAVO_IO_OPEN_FAILED = 2,        /* "Cannot open the port" */
  COM_KESTRAVO_IO_ERRORS_UNKNOWN = 3,     /* "Cannot obtain communication error" */
  COM_KESTRAVO_IO_GET_STATE_FAILED = 4,   /* "Cannot get the state of the port" */
  COM_KESTRAVO_IO_SET_STATE_FAILED = 5,   /* "Cannot set the state of the port" */
  COM_KESTRAVO_IO_BREAK_TIMING = 6,       /* "Break timing error" */
  COM_KESTRAVO_IO_SET_BREAK_FAILED = 7,   /* "Cannot place the transmission line in a break state" */
  COM_KESTRAVO_IO_CLEAR_BREAK_FAILED = 8, /* "Cannot place the transmission line in a nonbreak state" */
  COM_KESTRAVO_IO_TIMEOUTS_FAILED = 9,    /* "Cannot set the timeouts for the port" */
  COM_KESTRAVO_IO_PURGE_FAILED = 10,      /* "Cannot clear the port" */
  COM_KESTRAVO_IO_READ_FAILED = 11,       /* "Error reading data from the port" */
  COM_KESTRAVO_IO_WRITE_FAILED = 12,      /* "Error writing data to the port" */
  COM_KESTRAVO_IO_WRITE_COUNT = 13,       /* "Wrong data amount written to the port" */
  COM_KESTRAVO_IO_CONTROL_FAILED = 14,    /* "Error setting the control lines of the port" */
  COM_KESTRAVO_IO_STATUS_FAILED = 15,     /* "Error reading the status lines of the port" */
  COM_KESTRAVO_IO_BUSY = 16               /* "Device is busy" */
};

/* Conventions of every function below: PortNumber 0 to 15 (above: COM_KESTRAVO_PORT_NUMBER_RANGE,
 * nothing else happens); an argument out of its range gives COM_KESTRAVO_BAD_ARGUMENT before any
 * traffic; a null out-parameter is allowed and skipped. A function with a single out-parameter
 * writes it only on COM_KESTRAVO_OK. A function that converts several fields of one reply (marked
 * "fields in order") writes each as it converts it: after a failure the fields before the failed
 * one are written. Hexadecimal values on the device are converted by the library; where a unit is
 * not given the value is the device's raw count. */

/* Slots, results and messages. */
/* The device protocol version of this library: major in the high byte, minor in the low (0x0100). */
COM_KESTRAVO_API uint16_t COM_KESTRAVO_GetSWVersion(void);
/* The slot's last result (COM_KESTRAVO_PORT_NUMBER_RANGE for a PortNumber out of range). */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetInterfaceState(uint16_t PortNumber);
/* The text of the slot's last result; "PortNumber out of range" for a PortNumber out of range. */
COM_KESTRAVO_API const char* COM_KESTRAVO_GetErrorMessage(uint16_t PortNumber);
/* The slot's serial port error code (enum COM_KESTRAVO_IOState), and its text. */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetIOState(uint16_t PortNumber);
COM_KESTRAVO_API const char* COM_KESTRAVO_GetIOErrorMessage(uint16_t PortNumber);

/* Opening, closing and supervision of the link.
 * ComNumber n (1 to 255) names a device: what the environment variable KESTRAVO_COM<n> says (a
 * device path: /dev/ttyUSB0 on Linux, \\.\COM7 or COM7 on Windows; "sim" or "sim:<file>" for the
 * simulated device; "rfc2217://host:port" for a remote port), else the system's device: on Linux
 * /dev/ttyS<n-1>, on Windows \\.\COM<n>.
 * Open opens the device at 9600 baud, 8 data bits, even parity, 1 stop bit, raises DTR and RTS and
 * runs up to five link repairs (about 8.5 s against a device that does not answer).
 * SetBaudRate: *BaudRate in baud (the device takes 300 to 1000000), written back on success; after a
 * failure both ends are back at 9600 baud.
 * DevicePurge: *Purged 1 when the device emptied its buffers. GetBufferState: *Empty 1 when the
 * device's buffers are empty. Restart: the device restarts and comes back at 9600 baud with its
 * settings reset and its stored configurations and memory kept. */
COM_KESTRAVO_API int32_t COM_KESTRAVO_Open(uint16_t PortNumber, uint8_t ComNumber);
COM_KESTRAVO_API int32_t COM_KESTRAVO_Close(uint16_t PortNumber);
COM_KESTRAVO_API int32_t COM_KESTRAVO_Purge(uint16_t PortNumber);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetBaudRate(uint16_t PortNumber, uint32_t* BaudRate);
COM_KESTRAVO_API int32_t COM_KESTRAVO_DevicePurge(uint16_t PortNumber, int32_t* Purged);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetBufferState(uint16_t PortNumber, int32_t* Empty);
COM_KESTRAVO_API int32_t COM_KESTRAVO_Restart(uint16_t PortNumber);

/* Debug trace of a slot. */
COM_KESTRAVO_API int32_t COM_KESTRAVO_OpenDebugFile(uint16_t PortNumber, const char* FileName);
COM_KESTRAVO_API int32_t COM_KESTRAVO_CloseDebugFile(uint16_t PortNumber);

/* Identity and monitoring.
 * GetHWType: a 16-bit type code (0x4B53 for this device). GetHWVersion, GetFWVersion: major in the
 * high byte, minor in the low. GetFWDate: "Mmm dd yyyy" into COM_KESTRAVO_FW_DATE_SIZE bytes.
 * GetProductID: text into COM_KESTRAVO_PRODUCT_ID_SIZE bytes. GetProductNo: a number.
 * GetMainState: 0x0000 device active, 0x8001 voltage failure, 0x8002 low-temperature failure,
 * 0x8003 high-temperature failure, 0x8004 controller not ready.
 * GetDeviceState: bits 0 and 1 CPU and fan voltage failed, bits 8 to 10 fans 1 to 3 failed, bits 16
 * to 18 sensors 1 to 3 hot, bits 24 to 26 sensors 1 to 3 cold, bit 15 controller disabled.
 * GetCPUData: Load as a fraction (0.125 is 12.5 %), Frequency in Hz; fields in order.
 * GetUptime: Seconds and Milliseconds since the device started, Optime seconds it was enabled;
 * fields in order (Optime first). GetTotalTime: seconds switched on and enabled over the device's
 * life; fields in order (Optime first).
 * GetHousekeeping: supply voltages in volts, TempCPU in degrees Celsius; fields in order.
 * GetSensorData: three temperatures in degrees Celsius (65535.0: the sensor gives no reading); fields
 * in order.
 * GetFanData: for each of three fans Enabled and Failed (1 or 0), SetRPM and MeasuredRPM in
 * revolutions per minute, PWM in tenths of a per cent; fields in order, fan by fan.
 * GetLEDData: 1 for a lit LED, 0 for a dark one; fields in order. */
#define COM_KESTRAVO_FW_DATE_SIZE 12    /* 11 characters and NUL */
#define COM_KESTRAVO_PRODUCT_ID_SIZE 84 /* at most 83 characters and NUL; a longer text is cut */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetHWType(uint16_t PortNumber, uint16_t* HWType);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetHWVersion(uint16_t PortNumber, uint16_t* HWVersion);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetFWVersion(uint16_t PortNumber, uint16_t* FWVersion);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetFWDate(uint16_t PortNumber, char* FWDate);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetProductID(uint16_t PortNumber, char* ProductID);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetProductNo(uint16_t PortNumber, uint32_t* ProductNo);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetMainState(uint16_t PortNumber, uint16_t* MainState);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetDeviceState(uint16_t PortNumber, uint32_t* DeviceState);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetCPUData(uint16_t PortNumber, double* Load, double* Frequency);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetUptime(uint16_t PortNumber, uint32_t* Seconds,
                                                uint16_t* Milliseconds, uint32_t* Optime);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetTotalTime(uint16_t PortNumber, uint32_t* Uptime, uint32_t* Optime);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetHousekeeping(uint16_t PortNumber, double* Volt12V, double* Volt5V0,
                                                      double* Volt3V3, double* TempCPU);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSensorData(uint16_t PortNumber, double* Temperature /* [3] */);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetFanData(uint16_t PortNumber, int32_t* Enabled, int32_t* Failed,
                                                 uint16_t* SetRPM, uint16_t* MeasuredRPM,
                                                 uint16_t* PWM /* each [3] */);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetLEDData(uint16_t PortNumber, int32_t* Red, int32_t* Green,
                                                 int32_t* Blue);

/* Pulse generator. Times are counts of 10 ns steps from an offset of the device's: the oscillator's
 * period is (Period + 2) x 10 ns, a pulser's delay (Delay + 3) x 10 ns, its width (Width + 2) x 10 ns.
 * PulserNo: 0 to 3 (bursts: 0 and 1; a burst size is at most 16777215). PulserCfgNo: 0 to 5, the
 * source selectors of pulser 0, burst 0, pulser 1, burst 1, pulser 2 and pulser 3; a source
 * selector (Config) is 6 bits: bits 0 to 4 the signal source, bit 5 negation. */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetOscillatorPeriod(uint16_t PortNumber, uint32_t* Period);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetOscillatorPeriod(uint16_t PortNumber, uint32_t Period);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetPulserDelay(uint16_t PortNumber, uint32_t PulserNo, uint32_t* Delay);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetPulserDelay(uint16_t PortNumber, uint32_t PulserNo, uint32_t Delay);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetPulserWidth(uint16_t PortNumber, uint32_t PulserNo, uint32_t* Width);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetPulserWidth(uint16_t PortNumber, uint32_t PulserNo, uint32_t Width);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetPulserBurst(uint16_t PortNumber, uint32_t PulserNo, uint32_t* Burst);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetPulserBurst(uint16_t PortNumber, uint32_t PulserNo, uint32_t Burst);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetPulserConfig(uint16_t PortNumber, uint32_t PulserCfgNo,
                                                      uint8_t* Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetPulserConfig(uint16_t PortNumber, uint32_t PulserCfgNo,
                                                      uint32_t Config);

/* Switches. SwitchNo 0 to 3; MappingNo 0 to 4. Config is a source selector (bits 0 to 4 the source,
 * bit 5 negation). RiseDelay, FallDelay and Delay are 4-bit counts of 0.5 ns (0 to 15); a mapping is
 * 4 bits (0 to 15). The mapping enables are 1 (on) or 0 (off). */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchTriggerConfig(uint16_t PortNumber, uint32_t SwitchNo,
                                                             uint8_t* Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchTriggerConfig(uint16_t PortNumber, uint32_t SwitchNo,
                                                             uint32_t Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchEnableConfig(uint16_t PortNumber, uint32_t SwitchNo,
                                                            uint8_t* Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchEnableConfig(uint16_t PortNumber, uint32_t SwitchNo,
                                                            uint32_t Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchTriggerDelay(uint16_t PortNumber, uint32_t SwitchNo,
                                                            uint8_t* RiseDelay, uint8_t* FallDelay);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchTriggerDelay(uint16_t PortNumber, uint32_t SwitchNo,
                                                            uint32_t RiseDelay, uint32_t FallDelay);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchEnableDelay(uint16_t PortNumber, uint32_t SwitchNo,
                                                           uint8_t* Delay);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchEnableDelay(uint16_t PortNumber, uint32_t SwitchNo,
                                                           uint32_t Delay);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchTriggerMapping(uint16_t PortNumber, uint32_t MappingNo,
                                                              uint8_t* Mapping);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchTriggerMapping(uint16_t PortNumber, uint32_t MappingNo,
                                                              uint32_t Mapping);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchEnableMapping(uint16_t PortNumber, uint32_t MappingNo,
                                                             uint8_t* Mapping);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchEnableMapping(uint16_t PortNumber, uint32_t MappingNo,
                                                             uint32_t Mapping);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchTriggerMappingEnable(uint16_t PortNumber, uint8_t* Enable);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchTriggerMappingEnable(uint16_t PortNumber, uint8_t Enable);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchEnableMappingEnable(uint16_t PortNumber, uint8_t* Enable);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchEnableMappingEnable(uint16_t PortNumber, uint8_t Enable);

/* DIO and controller. OutputEnable and TerminationEnable: bit j for DIO j (0 to 6): an output, a
 * terminated input. OutputNo 0 to 6; an output's Config is a source selector (bits 0 to 4 the
 * source, bit 5 negation). DeviceEnable: 1 or 0. GetControllerState: bit 0 device enable, 1
 * oscillator enable, 2 pulser enable, 3 software trigger, 4 software pulse, 5 prevent device
 * disable, 6 dithering disable, 8 master enable, 9 software trigger output, 10 device enabled.
 * SetControllerConfig: the low byte as bits 0 to 6 of the state. */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetInputConfig(uint16_t PortNumber, uint8_t* OutputEnable,
                                                     uint8_t* TerminationEnable);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetInputConfig(uint16_t PortNumber, uint32_t OutputEnable,
                                                     uint32_t TerminationEnable);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetOutputConfig(uint16_t PortNumber, uint32_t OutputNo,
                                                      uint8_t* Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetOutputConfig(uint16_t PortNumber, uint32_t OutputNo,
                                                      uint32_t Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetDeviceEnable(uint16_t PortNumber, int32_t* Enable);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetDeviceEnable(uint16_t PortNumber, int32_t Enable);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetControllerState(uint16_t PortNumber, uint16_t* State);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetControllerConfig(uint16_t PortNumber, uint32_t Config);

/* Configuration storage: blocks of 75 bytes, names of 52 bytes, 126 stored configurations
 * (ConfigNumber 0 to 125). GetConfigFlags: Active and Valid, 1 or 0; a configuration is deleted when
 * it is valid and not active. GetConfigList: two arrays of 126 bytes, the active and the valid flags;
 * fields in order. Save stores the current configuration as ConfigNumber (valid and active); Load
 * makes a valid stored one current. */
#define COM_KESTRAVO_CONFIG_SIZE 75
#define COM_KESTRAVO_NAME_SIZE 52
#define COM_KESTRAVO_CONFIG_COUNT 126

/* The layout of a configuration block: little-endian groups of bytes starting at these offsets.
 * A source selector is 6 bits: bits 0 to 4 the signal source, bit 5 negation. */
enum COM_KESTRAVO_ConfigLayout {
  COM_KESTRAVO_CFG_FLAGS = 0,                   /* 2 bytes: bits 0 to 6 DeviceEnable, OscillatorEnable,
                                                   PulserEnable, SoftwareTrigger, SoftwarePulse,
                                                   PreventDeviceDisable, DisableDithering */
  COM_KESTRAVO_CFG_PULSER_SOURCES_2_3 = 2,      /* 2 bytes: pulser 2 at bit 0, pulser 3 at bit 6 */
  COM_KESTRAVO_CFG_SWITCH_ENABLE_DELAYS = 4,    /* 2 bytes: switch k's enable delay, 4 bits at bit 4k */
  COM_KESTRAVO_CFG_DIO_OUTPUTS = 6,             /* 1 byte: bit j set, DIO j is an output */
  COM_KESTRAVO_CFG_DIO_TERMINATIONS = 7,        /* 1 byte: bit j set, DIO j is a terminated input */
  COM_KESTRAVO_CFG_BURST_SIZES = 8,             /* 3 bytes for each of bursts 0 and 1 */
  COM_KESTRAVO_CFG_PULSER_SOURCES_0_1 = 14,     /* 3 bytes: pulser 0 at bit 0, burst 0 at bit 6,
                                                   pulser 1 at bit 12, burst 1 at bit 18 */
  COM_KESTRAVO_CFG_SWITCH_ENABLE_SOURCES = 17,  /* 3 bytes: switch k at bit 6k */
  COM_KESTRAVO_CFG_SWITCH_TRIGGER_SOURCES = 20, /* 3 bytes: switch k at bit 6k */
  COM_KESTRAVO_CFG_DIO_SOURCES_0_3 = 23,        /* 3 bytes: DIO j (0 to 3) at bit 6j */
  COM_KESTRAVO_CFG_DIO_SOURCES_4_6 = 26,        /* 3 bytes: DIO j (4 to 6) at bit 6(j - 4) */
  COM_KESTRAVO_CFG_TRIGGER_MAPPING = 29,        /* 3 bytes: mapping m (4 bits) at bit 4m, on at bit 20 */
  COM_KESTRAVO_CFG_ENABLE_MAPPING = 32,         /* 3 bytes: the same for the enable mapping */
  COM_KESTRAVO_CFG_PULSER_DELAYS = 35,          /* 4 bytes for each of pulsers 0 to 3 */
  COM_KESTRAVO_CFG_PULSER_WIDTHS = 51,          /* 4 bytes for each of pulsers 0 to 3 */
  COM_KESTRAVO_CFG_OSCILLATOR_PERIOD = 67,      /* 4 bytes */
  COM_KESTRAVO_CFG_TRIGGER_DELAYS = 71          /* 1 byte for each of switches 0 to 3: rise delay in
                                                   bits 0 to 3, fall delay in bits 4 to 7 */
};
#define COM_KESTRAVO_MAPPING_ON_BIT 20

/* Each setting's place in a configuration block, for reading and writing blocks without the
 * device: `width` bits at bit `shift` of the little-endian group of `bytes` bytes at `offset`
 * (a width of 32 is the whole group). COM_KESTRAVO_ConfigFieldOf gives the field of an item and
 * an index in the item's range (out of range: unspecified); the functions are inline and need
 * no library. */
typedef struct COM_KESTRAVO_ConfigField {
  uint8_t offset, bytes, shift, width;
} COM_KESTRAVO_ConfigField;

enum COM_KESTRAVO_ConfigItem {
  COM_KESTRAVO_ITEM_OSCILLATOR_PERIOD = 0, /* no index; 32 bits */
  COM_KESTRAVO_ITEM_PULSER_DELAY,          /* pulser 0 to 3; 32 bits */
  COM_KESTRAVO_ITEM_PULSER_WIDTH,          /* pulser 0 to 3; 32 bits */
  COM_KESTRAVO_ITEM_BURST_SIZE,            /* burst 0 and 1; 24 bits */
  COM_KESTRAVO_ITEM_SOURCE_SELECTOR,       /* 0 to 5: pulser 0, burst 0, pulser 1, burst 1, pulsers 2
                                              and 3; 6 bits each */
  COM_KESTRAVO_ITEM_SWITCH_TRIGGER_SOURCE, /* switch 0 to 3; 6 bits */
  COM_KESTRAVO_ITEM_SWITCH_ENABLE_SOURCE,  /* switch 0 to 3; 6 bits */
  COM_KESTRAVO_ITEM_SWITCH_ENABLE_DELAY,   /* switch 0 to 3; 4 bits */
  COM_KESTRAVO_ITEM_SWITCH_RISE_DELAY,     /* switch 0 to 3; 4 bits */
  COM_KESTRAVO_ITEM_SWITCH_FALL_DELAY,     /* switch 0 to 3; 4 bits */
  COM_KESTRAVO_ITEM_TRIGGER_MAPPING,       /* mapping 0 to 4; 4 bits */
  COM_KESTRAVO_ITEM_ENABLE_MAPPING,        /* mapping 0 to 4; 4 bits */
  COM_KESTRAVO_ITEM_TRIGGER_MAPPING_ON,    /* no index; 1 bit */
  COM_KESTRAVO_ITEM_ENABLE_MAPPING_ON,     /* no index; 1 bit */
  COM_KESTRAVO_ITEM_DIO_SOURCE,            /* DIO 0 to 6; 6 bits */
  COM_KESTRAVO_ITEM_DIO_OUTPUT,            /* DIO 0 to 6; 1 bit */
  COM_KESTRAVO_ITEM_DIO_TERMINATION,       /* DIO 0 to 6; 1 bit */
  COM_KESTRAVO_ITEM_FLAG                   /* flag 0 to 6 in the order of COM_KESTRAVO_CFG_FLAGS; 1 bit */
};

static inline COM_KESTRAVO_ConfigField COM_KESTRAVO_MakeConfigField(uint32_t offset, uint32_t bytes,
                                                                    uint32_t shift, uint32_t width) {
  COM_KESTRAVO_ConfigField f;
  f.offset = (uint8_t)offset;
  f.bytes = (uint8_t)bytes;
  f.shift = (uint8_t)shift;
  f.width = (uint8_t)width;
  return f;
}

static inline COM_KESTRAVO_ConfigField COM_KESTRAVO_ConfigFieldOf(enum COM_KESTRAVO_ConfigItem item,
                                                                  uint32_t i) {
  switch (item) {
    case COM_KESTRAVO_ITEM_PULSER_DELAY:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_PULSER_DELAYS + 4 * i, 4, 0, 32);
    case COM_KESTRAVO_ITEM_PULSER_WIDTH:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_PULSER_WIDTHS + 4 * i, 4, 0, 32);
    case COM_KESTRAVO_ITEM_BURST_SIZE:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_BURST_SIZES + 3 * i, 3, 0, 24);
    case COM_KESTRAVO_ITEM_SOURCE_SELECTOR:
      return i < 4 ? COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_PULSER_SOURCES_0_1, 3, 6 * i, 6)
                   : COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_PULSER_SOURCES_2_3, 2, 6 * (i - 4), 6);
    case COM_KESTRAVO_ITEM_SWITCH_TRIGGER_SOURCE:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_SWITCH_TRIGGER_SOURCES, 3, 6 * i, 6);
    case COM_KESTRAVO_ITEM_SWITCH_ENABLE_SOURCE:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_SWITCH_ENABLE_SOURCES, 3, 6 * i, 6);
    case COM_KESTRAVO_ITEM_SWITCH_ENABLE_DELAY:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_SWITCH_ENABLE_DELAYS, 2, 4 * i, 4);
    case COM_KESTRAVO_ITEM_SWITCH_RISE_DELAY:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_TRIGGER_DELAYS + i, 1, 0, 4);
    case COM_KESTRAVO_ITEM_SWITCH_FALL_DELAY:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_TRIGGER_DELAYS + i, 1, 4, 4);
    case COM_KESTRAVO_ITEM_TRIGGER_MAPPING:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_TRIGGER_MAPPING, 3, 4 * i, 4);
    case COM_KESTRAVO_ITEM_ENABLE_MAPPING:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_ENABLE_MAPPING, 3, 4 * i, 4);
    case COM_KESTRAVO_ITEM_TRIGGER_MAPPING_ON:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_TRIGGER_MAPPING, 3, COM_KESTRAVO_MAPPING_ON_BIT,
                                          1);
    case COM_KESTRAVO_ITEM_ENABLE_MAPPING_ON:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_ENABLE_MAPPING, 3, COM_KESTRAVO_MAPPING_ON_BIT, 1);
    case COM_KESTRAVO_ITEM_DIO_SOURCE:
      return i < 4 ? COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_DIO_SOURCES_0_3, 3, 6 * i, 6)
                   : COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_DIO_SOURCES_4_6, 3, 6 * (i - 4), 6);
    case COM_KESTRAVO_ITEM_DIO_OUTPUT:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_DIO_OUTPUTS, 1, i, 1);
    case COM_KESTRAVO_ITEM_DIO_TERMINATION:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_DIO_TERMINATIONS, 1, i, 1);
    case COM_KESTRAVO_ITEM_FLAG:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_FLAGS, 2, i, 1);
    case COM_KESTRAVO_ITEM_OSCILLATOR_PERIOD:
    default:
      return COM_KESTRAVO_MakeConfigField(COM_KESTRAVO_CFG_OSCILLATOR_PERIOD, 4, 0, 32);
  }
}

static inline uint32_t COM_KESTRAVO_GetConfigField(const uint8_t* block, COM_KESTRAVO_ConfigField f) {
  uint32_t group = 0;
  int i;
  for (i = f.bytes - 1; i >= 0; --i) group = (group << 8) | block[f.offset + i];
  return f.width >= 32 ? group : (group >> f.shift) & ((1u << f.width) - 1);
}

static inline void COM_KESTRAVO_SetConfigField(uint8_t* block, COM_KESTRAVO_ConfigField f, uint32_t value) {
  uint32_t group = 0, mask;
  int i;
  for (i = f.bytes - 1; i >= 0; --i) group = (group << 8) | block[f.offset + i];
  mask = f.width >= 32 ? 0xFFFFFFFFu : ((1u << f.width) - 1) << f.shift;
  group = (group & ~mask) | ((value << f.shift) & mask);
  for (i = 0; i < f.bytes; ++i) block[f.offset + i] = (uint8_t)(group >> (8 * i));
}
COM_KESTRAVO_API int32_t COM_KESTRAVO_ResetCurrentConfig(uint16_t PortNumber);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetCurrentConfig(uint16_t PortNumber, uint8_t* Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetCurrentConfig(uint16_t PortNumber, const uint8_t* Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetConfigData(uint16_t PortNumber, uint32_t ConfigNumber,
                                                    uint8_t* Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetConfigData(uint16_t PortNumber, uint32_t ConfigNumber,
                                                    const uint8_t* Config);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetConfigList(uint16_t PortNumber, uint8_t* ActiveList,
                                                    uint8_t* ValidList);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SaveCurrentConfig(uint16_t PortNumber, uint32_t ConfigNumber);
COM_KESTRAVO_API int32_t COM_KESTRAVO_LoadCurrentConfig(uint16_t PortNumber, uint32_t ConfigNumber);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetConfigName(uint16_t PortNumber, uint32_t ConfigNumber,
                                                    uint8_t* Name);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetConfigName(uint16_t PortNumber, uint32_t ConfigNumber,
                                                    const uint8_t* Name);
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetConfigFlags(uint16_t PortNumber, uint32_t ConfigNumber,
                                                     uint8_t* Active, uint8_t* Valid);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetConfigFlags(uint16_t PortNumber, uint32_t ConfigNumber,
                                                     uint8_t Active, uint8_t Valid);

/* Memory data (blocks of at most 4092 bytes, inside the 16 KiB area) and link test. */
#define COM_KESTRAVO_MEMORY_SIZE 16384
#define COM_KESTRAVO_MEMORY_BLOCK_MAX 4092
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetMemoryData(uint16_t PortNumber, uint32_t Address, uint32_t Size,
                                                    uint8_t* Data);
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetMemoryData(uint16_t PortNumber, uint32_t Address, uint32_t Size,
                                                    const uint8_t* Data);
COM_KESTRAVO_API int32_t COM_KESTRAVO_UpdateMemoryData(uint16_t PortNumber);
/* The device echoes Data (a zero-terminated text of at most 8191 characters) back; a differing echo
 * gives COM_KESTRAVO_WRONG_ARGUMENT. Data holding a carriage return gives COM_KESTRAVO_BAD_ARGUMENT
 * before any traffic: the carriage return would end the device's frame and its echo could never be
 * read back. */
COM_KESTRAVO_API int32_t COM_KESTRAVO_Test(uint16_t PortNumber, const char* Data);

/* Additions of this library. */

/* Why the last COM_KESTRAVO_Open or COM_KESTRAVO_OpenPort on the slot could not open its device, in
 * plain words, such as "/dev/ttyUSB0: Permission denied (the user may need to be in the 'dialout'
 * group)", "no device has this number (COM numbers run from 1 to 255)" or "the slot is already
 * open"; "" when the device opened (also when the link handshake failed afterwards) or no opening
 * was made. The text belongs to the library and stays valid until the next opening on the slot;
 * null for a PortNumber out of range. */
COM_KESTRAVO_API const char* COM_KESTRAVO_GetOpenFailureReason(uint16_t PortNumber);

/* Opens the slot on a port given by its name, as a value of KESTRAVO_COM<n> names one: a device
 * path (/dev/ttyUSB0, /dev/serial/by-id/...; on Windows COM12 or \\.\COM12), "sim", "sim:<file>"
 * or "rfc2217://host:port". The same opening as COM_KESTRAVO_Open (line settings, DTR and RTS,
 * up to five link repairs), with its result codes and trace lines (the trace names the port); the
 * environment is neither read nor changed. COM_KESTRAVO_OPEN_FAILED (-2) when the name gives no
 * port or the port does not open (COM_KESTRAVO_GetOpenFailureReason says why, also for a slot that
 * is already open); COM_KESTRAVO_BAD_ARGUMENT for a null Port. */
COM_KESTRAVO_API int32_t COM_KESTRAVO_OpenPort(uint16_t PortNumber, const char* Port);

#ifdef __cplusplus
}
#endif

#endif /* COM_KESTRAVO_H */
