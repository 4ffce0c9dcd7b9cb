/**
 * @file COM-KESTRAVO.h
 * @brief COM-KESTRAVO: control of the KESTRAVO pulse generator over a serial line.
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
 * device protocol version the library reports is COM_KESTRAVO_GetSWVersion's; the loaded library's
 * release is COM_KESTRAVO_GetLibraryVersion's. */
#define COM_KESTRAVO_VERSION_MAJOR 1        /**< Major version of this header's release. */
#define COM_KESTRAVO_VERSION_MINOR 2        /**< Minor version of this header's release. */
#define COM_KESTRAVO_VERSION_PATCH 0        /**< Patch level of this header's release. */
#define COM_KESTRAVO_VERSION_STRING "1.2.0" /**< This header's release as a text. */

/* The exported functions: C calling convention (cdecl), undecorated names, on every system. A
 * Windows program links them through the import library (COM-KESTRAVO.lib) or loads the DLL by
 * name; define COM_KESTRAVO_DLLIMPORT to declare them __declspec(dllimport). */
/** Marks an exported function: dllimport or dllexport on Windows, default visibility elsewhere. */
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

/** Result codes of every function returning int32_t, kept as the slot's interface state (except
 * COM_KESTRAVO_PORT_NUMBER_RANGE); COM_KESTRAVO_GetErrorMessage gives the text in quotes. */
enum COM_KESTRAVO_Result {
  COM_KESTRAVO_OK = 0,                           /**< "No error" */
  COM_KESTRAVO_PORT_NUMBER_RANGE = -1,           /**< "PortNumber out of range" (PortNumber above 15) */
  COM_KESTRAVO_OPEN_FAILED = -2,                 /**< "Error opening the port" */
  COM_KESTRAVO_CLOSE_FAILED = -3,                /**< "Error closing the port" */
  COM_KESTRAVO_PURGE_FAILED = -4,                /**< "Error purging the port" */
  COM_KESTRAVO_CONTROL_FAILED = -5,              /**< "Error setting the port control lines" */
  COM_KESTRAVO_STATUS_FAILED = -6,               /**< "Error reading the port status lines" */
  COM_KESTRAVO_SEND_COMMAND_FAILED = -7,         /**< "Error sending command" */
  COM_KESTRAVO_SEND_DATA_FAILED = -8,            /**< "Error sending data" */
  COM_KESTRAVO_SEND_TERMINATION_FAILED = -9,     /**< "Error sending termination character" */
  COM_KESTRAVO_RECEIVE_COMMAND_FAILED = -10,     /**< "Error receiving command" */
  COM_KESTRAVO_RECEIVE_DATA_FAILED = -11,        /**< "Error receiving data" */
  COM_KESTRAVO_RECEIVE_TERMINATION_FAILED = -12, /**< "Error receiving termination character" */
  COM_KESTRAVO_WRONG_COMMAND = -13,              /**< "Wrong command received" (the echo, or '?'; on every
                                                  * call: replies read out of step, which
                                                  * COM_KESTRAVO_Purge mends) */
  COM_KESTRAVO_WRONG_ARGUMENT = -14,             /**< "Wrong argument received" (the echoed fields) */
  COM_KESTRAVO_BAD_ARGUMENT = -15,               /**< "Wrong argument passed to the function" (no traffic) */
  COM_KESTRAVO_BAUD_RATE_FAILED = -16,           /**< "Error setting the baud rate" */
  COM_KESTRAVO_NOT_CONNECTED = -100,             /**< "Device not connected" (DSR or DCD low) */
  COM_KESTRAVO_NOT_READY = -101,                 /**< "Device not ready" (CTS stayed low) */
  COM_KESTRAVO_STILL_READY = -102,               /**< "Device state could not be set to not ready" */
  COM_KESTRAVO_DEBUG_OPEN_FAILED = -400,         /**< "Error opening the file for debugging output" */
  COM_KESTRAVO_DEBUG_CLOSE_FAILED = -401         /**< "Error closing the file for debugging output" */
};

/** Port error codes of the slot's serial port (COM_KESTRAVO_GetIOState), with the texts of
 * COM_KESTRAVO_GetIOErrorMessage. */
enum COM_KESTRAVO_IOState {
  COM_KESTRAVO_IO_OK = 0,                 /**< "No error" */
  COM_KESTRAVO_IO_NOT_OPEN = 1,           /**< "Port has not been opened yet" */
  COM_KESTRAVO_IO_OPEN_FAILED = 2,        /**< "Cannot open the port" */
  COM_KESTRAVO_IO_ERRORS_UNKNOWN = 3,     /**< "Cannot obtain communication error" */
  COM_KESTRAVO_IO_GET_STATE_FAILED = 4,   /**< "Cannot get the state of the port" */
  COM_KESTRAVO_IO_SET_STATE_FAILED = 5,   /**< "Cannot set the state of the port" */
  COM_KESTRAVO_IO_BREAK_TIMING = 6,       /**< "Break timing error" */
  COM_KESTRAVO_IO_SET_BREAK_FAILED = 7,   /**< "Cannot place the transmission line in a break state" */
  COM_KESTRAVO_IO_CLEAR_BREAK_FAILED = 8, /**< "Cannot place the transmission line in a nonbreak state" */
  COM_KESTRAVO_IO_TIMEOUTS_FAILED = 9,    /**< "Cannot set the timeouts for the port" */
  COM_KESTRAVO_IO_PURGE_FAILED = 10,      /**< "Cannot clear the port" */
  COM_KESTRAVO_IO_READ_FAILED = 11,       /**< "Error reading data from the port" */
  COM_KESTRAVO_IO_WRITE_FAILED = 12,      /**< "Error writing data to the port" */
  COM_KESTRAVO_IO_WRITE_COUNT = 13,       /**< "Wrong data amount written to the port" */
  COM_KESTRAVO_IO_CONTROL_FAILED = 14,    /**< "Error setting the control lines of the port" */
  COM_KESTRAVO_IO_STATUS_FAILED = 15,     /**< "Error reading the status lines of the port" */
  COM_KESTRAVO_IO_BUSY = 16               /**< "Device is busy" */
};

/* Conventions of every function below: PortNumber 0 to 15 (above: COM_KESTRAVO_PORT_NUMBER_RANGE,
 * nothing else happens); an argument out of its range gives COM_KESTRAVO_BAD_ARGUMENT before any
 * traffic; a null out-parameter is allowed and skipped. A function with a single out-parameter
 * writes it only on COM_KESTRAVO_OK. A function that converts several fields of one reply (marked
 * "fields in order") writes each as it converts it: after a failure the fields before the failed
 * one are written. Hexadecimal values on the device are converted by the library; where a unit is
 * not given the value is the device's raw count. */

/**
 * @defgroup COM-KESTRAVO-slots Slots, results and messages
 * The slot's state and the texts of its results; the library's versions.
 * @{
 */
/**
 * @brief The device protocol version of this library.
 *
 * Major in the high byte, minor in the low: 0x0100.
 *
 * Does not talk to the device.
 * @return the version word (0x0100).
 */
COM_KESTRAVO_API uint16_t COM_KESTRAVO_GetSWVersion(void);

/**
 * @brief The slot's last result code.
 *
 * The result of the last call on the slot from any thread.
 *
 * Does not talk to the device.
 * @param PortNumber the port slot, 0 to 15.
 * @return the slot's last result (enum COM_KESTRAVO_Result), or COM_KESTRAVO_PORT_NUMBER_RANGE for
 *         a PortNumber above 15.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetInterfaceState(uint16_t PortNumber);

/**
 * @brief The text of the slot's last result.
 *
 * A constant text of the library, such as "No error" or "Device not connected" (see enum
 * COM_KESTRAVO_Result).
 *
 * Does not talk to the device.
 * @param PortNumber the port slot, 0 to 15.
 * @return the text; "PortNumber out of range" for a PortNumber above 15. Never null.
 */
COM_KESTRAVO_API const char* COM_KESTRAVO_GetErrorMessage(uint16_t PortNumber);

/**
 * @brief The slot's serial port error code.
 *
 * What the port reported at the slot's last operation on it (enum COM_KESTRAVO_IOState).
 *
 * Does not talk to the device.
 * @param PortNumber the port slot, 0 to 15.
 * @return the code, 0 (COM_KESTRAVO_IO_OK) to 16; COM_KESTRAVO_PORT_NUMBER_RANGE for a PortNumber
 *         above 15.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetIOState(uint16_t PortNumber);

/**
 * @brief The text of the slot's serial port error code.
 *
 * A constant text of the library (see enum COM_KESTRAVO_IOState).
 *
 * Does not talk to the device.
 * @param PortNumber the port slot, 0 to 15.
 * @return the text; "PortNumber out of range" for a PortNumber above 15. Never null.
 */
COM_KESTRAVO_API const char* COM_KESTRAVO_GetIOErrorMessage(uint16_t PortNumber);

/** @} */

/**
 * @defgroup COM-KESTRAVO-link Opening, closing and supervision of the link
 *
 * ComNumber n (1 to 255) names a device: what the environment variable `KESTRAVO_COM<n>` says (a
 * device path: /dev/ttyUSB0 on Linux, `\\.\COM7` or COM7 on Windows; "sim" or `sim:<file>` for the
 * simulated device; "rfc2217://host:port" for a remote port), else the system's device: on Linux
 * `/dev/ttyS<n-1>`, on Windows `\\.\COM<n>`.
 * Open opens the device at 9600 baud, 8 data bits, even parity, 1 stop bit, raises DTR and RTS and
 * runs up to five link repairs (about 8.5 s against a device that does not answer).
 * SetBaudRate: `*BaudRate` in baud (the device takes 300 to 1000000), written back on success; after a
 * failure both ends are back at 9600 baud.
 * DevicePurge: `*Purged` 1 when the device emptied its buffers. GetBufferState: `*Empty` 1 when the
 * device's buffers are empty. Restart: the device restarts and comes back at 9600 baud with its
 * settings reset and its stored configurations and memory kept.
 * @{
 */

/**
 * @brief Opens the slot on COM number ComNumber and brings the link up.
 *
 * ComNumber n names what the environment variable `KESTRAVO_COM<n>` says (a device path such as
 * /dev/ttyUSB0 or COM7, "sim", `sim:<file>`, "rfc2217://host:port"), else the system's device: on
 * Linux `/dev/ttyS<n-1>`, on Windows `\\.\COM<n>`. The port is opened at 9600 baud, 8 data bits,
 * even parity, 1 stop bit; DTR and RTS are raised and up to five link repairs run (a purge and a
 * device purge each: about 8.5 s against a device that does not answer). A port that opened stays
 * open when the repairs fail: call COM_KESTRAVO_Purge to try again or COM_KESTRAVO_Close.
 *
 * Talks to the device: the line handshake and a device purge, up to five times.
 * @param PortNumber the port slot, 0 to 15.
 * @param ComNumber the COM number, 1 to 255 (0 opens nothing: COM_KESTRAVO_OPEN_FAILED).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_OPEN_FAILED (-2) when the
 *         port does not open or the slot is open already (COM_KESTRAVO_GetOpenFailureReason says
 *         why); the result of the last repair: COM_KESTRAVO_CONTROL_FAILED,
 *         COM_KESTRAVO_STATUS_FAILED, COM_KESTRAVO_PURGE_FAILED, COM_KESTRAVO_BAUD_RATE_FAILED,
 *         COM_KESTRAVO_NOT_CONNECTED (-100: DSR or DCD low), COM_KESTRAVO_NOT_READY (-101: CTS
 *         low), COM_KESTRAVO_STILL_READY (-102), or COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command, COM_KESTRAVO_WRONG_ARGUMENT.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_Open(uint16_t PortNumber, uint8_t ComNumber);

/**
 * @brief Closes the slot's port.
 *
 * Drops RTS and DTR and closes the port; the slot may be opened again.
 *
 * Talks to the device: the control lines only.
 * @param PortNumber the port slot, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_CLOSE_FAILED (-3) when the
 *         slot was not open or the port did not close (the slot is closed all the same).
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_Close(uint16_t PortNumber);

/**
 * @brief Resets both ends of the link: the PC at 9600 baud with empty buffers, the device back in
 *        step.
 *
 * Drops RTS until the device drops CTS, sets 9600 baud, empties the PC's queues, raises RTS and
 * waits for CTS (about 4 s at worst). This is what brings a link back in step after every call
 * failed with COM_KESTRAVO_WRONG_COMMAND (a reply left on the line).
 *
 * Talks to the device: the control and status lines.
 * @param PortNumber the port slot, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_PURGE_FAILED (-4);
 *         COM_KESTRAVO_CONTROL_FAILED (-5); COM_KESTRAVO_STATUS_FAILED (-6);
 *         COM_KESTRAVO_BAUD_RATE_FAILED (-16); COM_KESTRAVO_NOT_CONNECTED (-100);
 *         COM_KESTRAVO_NOT_READY (-101); COM_KESTRAVO_STILL_READY (-102: the device kept CTS up).
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_Purge(uint16_t PortNumber);

/**
 * @brief Changes the data rate of the device and then of the PC.
 *
 * The device is told the rate, the PC's port follows, and the device's rate is read back at the new
 * rate into *BaudRate. After a failure COM_KESTRAVO_Purge runs, so both ends are back at 9600 baud,
 * and its result is returned.
 *
 * Talks to the device: two exchanges and the line handshake.
 * @param PortNumber the port slot, 0 to 15.
 * @param[in,out] BaudRate the rate in baud (the device takes 300 to 1000000); on success the rate
 *        the device reports. Null: COM_KESTRAVO_BAD_ARGUMENT.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for a null BaudRate; the results of COM_KESTRAVO_Purge
 *         after a failure.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetBaudRate(uint16_t PortNumber, uint32_t* BaudRate);

/**
 * @brief Asks the device to empty its buffers.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Purged 1 when the device emptied its buffers, 0 when it did not.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert (neither Y nor
 *         N).
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_DevicePurge(uint16_t PortNumber, int32_t* Purged);

/**
 * @brief Asks the device whether its buffers are empty.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Empty 1 when the buffers are empty, 0 when not.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert (neither Y nor
 *         N).
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetBufferState(uint16_t PortNumber, int32_t* Empty);

/**
 * @brief Restarts the device.
 *
 * The device comes back at 9600 baud with its settings reset and its stored configurations and
 * memory kept; the PC follows to 9600 baud and waits for the device (up to about 0.3 s of probes).
 *
 * Talks to the device: the restart, then device purges.
 * @param PortNumber the port slot, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_CONTROL_FAILED (-5); COM_KESTRAVO_BAUD_RATE_FAILED (-16).
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_Restart(uint16_t PortNumber);

/* Debug trace of a slot. */
/**
 * @brief Starts the slot's debug trace in a file.
 *
 * The file is created or replaced; every later operation on the slot writes its steps and failures
 * there, each with a time stamp. A trace already open is closed first.
 *
 * Does not talk to the device.
 * @param PortNumber the port slot, 0 to 15.
 * @param FileName the file's path (on Windows in the ANSI code page), zero-terminated.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_DEBUG_OPEN_FAILED (-400)
 *         when the file cannot be created.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_OpenDebugFile(uint16_t PortNumber, const char* FileName);

/**
 * @brief Ends the slot's debug trace.
 *
 * Does not talk to the device.
 * @param PortNumber the port slot, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_DEBUG_CLOSE_FAILED (-401)
 *         when no trace was open or the file did not close.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_CloseDebugFile(uint16_t PortNumber);

/** @} */

/**
 * @defgroup COM-KESTRAVO-identity Identity and monitoring
 *
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
 * GetLEDData: 1 for a lit LED, 0 for a dark one; fields in order.
 * @{
 */
/** Bytes of COM_KESTRAVO_GetFWDate's text: 11 characters and NUL. */
#define COM_KESTRAVO_FW_DATE_SIZE 12
/** Bytes of COM_KESTRAVO_GetProductID's text: at most 83 characters and NUL; a longer text is cut. */
#define COM_KESTRAVO_PRODUCT_ID_SIZE 84

/**
 * @brief Reads the hardware type code.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] HWType the type code, 0x4B53 for this device.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetHWType(uint16_t PortNumber, uint16_t* HWType);

/**
 * @brief Reads the hardware version.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] HWVersion major in the high byte, minor in the low.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetHWVersion(uint16_t PortNumber, uint16_t* HWVersion);

/**
 * @brief Reads the firmware version.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] FWVersion major in the high byte, minor in the low.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetFWVersion(uint16_t PortNumber, uint16_t* FWVersion);

/**
 * @brief Reads the firmware's date.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] FWDate "Mmm dd yyyy" and a NUL, in COM_KESTRAVO_FW_DATE_SIZE (12) bytes.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetFWDate(uint16_t PortNumber, char* FWDate);

/**
 * @brief Reads the product identification text.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] ProductID the text and a NUL, in COM_KESTRAVO_PRODUCT_ID_SIZE (84) bytes; a longer
 *        text is cut to 83 characters.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetProductID(uint16_t PortNumber, char* ProductID);

/**
 * @brief Reads the product number.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] ProductNo the number, 0 to 4294967295.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetProductNo(uint16_t PortNumber, uint32_t* ProductNo);

/**
 * @brief Reads the device's main state.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] MainState 0x0000 device active, 0x8001 voltage failure, 0x8002 low-temperature
 *        failure, 0x8003 high-temperature failure, 0x8004 controller not ready.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetMainState(uint16_t PortNumber, uint16_t* MainState);

/**
 * @brief Reads the device's failure bits.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] DeviceState bits 0 and 1 CPU and fan voltage failed, bits 8 to 10 fans 1 to 3 failed,
 *        bit 15 controller disabled, bits 16 to 18 sensors 1 to 3 hot, bits 24 to 26 sensors 1 to 3
 *        cold.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetDeviceState(uint16_t PortNumber, uint32_t* DeviceState);

/**
 * @brief Reads the device processor's load and clock.
 *
 * Fields in order: after a failure the fields before the failed one are written.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Load the load as a fraction (0.125 is 12.5 %).
 * @param[out] Frequency the clock in Hz.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetCPUData(uint16_t PortNumber, double* Load, double* Frequency);

/**
 * @brief Reads the time since the device started and the time it was enabled.
 *
 * Fields in order (Optime first).
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Seconds whole seconds since the start.
 * @param[out] Milliseconds the milliseconds past them, 0 to 999.
 * @param[out] Optime seconds the device was enabled since the start.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetUptime(uint16_t PortNumber, uint32_t* Seconds,
                                                uint16_t* Milliseconds, uint32_t* Optime);

/**
 * @brief Reads the time switched on and enabled over the device's life.
 *
 * Fields in order (Optime first).
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Uptime seconds switched on.
 * @param[out] Optime seconds enabled.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetTotalTime(uint16_t PortNumber, uint32_t* Uptime, uint32_t* Optime);

/**
 * @brief Reads the supply voltages and the processor's temperature.
 *
 * Fields in order.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Volt12V the 12 V supply in volts.
 * @param[out] Volt5V0 the 5 V supply in volts.
 * @param[out] Volt3V3 the 3.3 V supply in volts.
 * @param[out] TempCPU the processor's temperature in degrees Celsius.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetHousekeeping(uint16_t PortNumber, double* Volt12V, double* Volt5V0,
                                                      double* Volt3V3, double* TempCPU);

/**
 * @brief Reads the three temperature sensors.
 *
 * Fields in order.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Temperature an array of 3: degrees Celsius, 65535.0 for a sensor that gives no
 *        reading.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSensorData(uint16_t PortNumber, double* Temperature /* [3] */);

/**
 * @brief Reads the three fans.
 *
 * Fields in order, fan by fan; each parameter is an array of 3.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Enabled 1 for a fan that is on, 0 off.
 * @param[out] Failed 1 for a failed fan.
 * @param[out] SetRPM the set speed in revolutions per minute.
 * @param[out] MeasuredRPM the measured speed in revolutions per minute.
 * @param[out] PWM the drive in tenths of a per cent (0 to 1000).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetFanData(uint16_t PortNumber, int32_t* Enabled, int32_t* Failed,
                                                 uint16_t* SetRPM, uint16_t* MeasuredRPM,
                                                 uint16_t* PWM /* each [3] */);

/**
 * @brief Reads the three status LEDs.
 *
 * Fields in order.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Red 1 lit, 0 dark.
 * @param[out] Green 1 lit, 0 dark.
 * @param[out] Blue 1 lit, 0 dark.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetLEDData(uint16_t PortNumber, int32_t* Red, int32_t* Green,
                                                 int32_t* Blue);

/** @} */

/**
 * @defgroup COM-KESTRAVO-pulser Pulse generator: oscillator and pulsers
 *
 * Pulse generator. Times are counts of 10 ns steps from an offset of the device's: the oscillator's
 * period is (Period + 2) x 10 ns, a pulser's delay (Delay + 3) x 10 ns, its width (Width + 2) x 10 ns.
 * PulserNo: 0 to 3 (bursts: 0 and 1; a burst size is at most 16777215). PulserCfgNo: 0 to 5, the
 * source selectors of pulser 0, burst 0, pulser 1, burst 1, pulser 2 and pulser 3; a source
 * selector (Config) is 6 bits: bits 0 to 4 the signal source, bit 5 negation.
 * @{
 */

/**
 * @brief Reads the oscillator's period.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Period the raw count, 0 to 4294967295: the period is (Period + 2) x 10 ns (20 ns to
 *        about 42.95 s).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetOscillatorPeriod(uint16_t PortNumber, uint32_t* Period);

/**
 * @brief Sets the oscillator's period.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param Period the raw count, 0 to 4294967295: the period is (Period + 2) x 10 ns (20 ns to about
 *        42.95 s).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetOscillatorPeriod(uint16_t PortNumber, uint32_t Period);

/**
 * @brief Reads a pulser's delay.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param PulserNo the pulser, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Delay the raw count, 0 to 4294967295: the delay is (Delay + 3) x 10 ns (30 ns to
 *        about 42.95 s).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetPulserDelay(uint16_t PortNumber, uint32_t PulserNo, uint32_t* Delay);

/**
 * @brief Sets a pulser's delay.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param PulserNo the pulser, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Delay the raw count, 0 to 4294967295: the delay is (Delay + 3) x 10 ns (30 ns to about
 *        42.95 s).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetPulserDelay(uint16_t PortNumber, uint32_t PulserNo, uint32_t Delay);

/**
 * @brief Reads a pulser's pulse width.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param PulserNo the pulser, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Width the raw count, 0 to 4294967295: the width is (Width + 2) x 10 ns (20 ns to
 *        about 42.95 s).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetPulserWidth(uint16_t PortNumber, uint32_t PulserNo, uint32_t* Width);

/**
 * @brief Sets a pulser's pulse width.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param PulserNo the pulser, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Width the raw count, 0 to 4294967295: the width is (Width + 2) x 10 ns (20 ns to about
 *        42.95 s).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetPulserWidth(uint16_t PortNumber, uint32_t PulserNo, uint32_t Width);

/**
 * @brief Reads a burst's size.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param PulserNo the burst, 0 or 1 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Burst pulses per burst, 0 to 16777215.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetPulserBurst(uint16_t PortNumber, uint32_t PulserNo, uint32_t* Burst);

/**
 * @brief Sets a burst's size.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param PulserNo the burst, 0 or 1 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Burst pulses per burst, 0 to 16777215 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index or a size out of range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetPulserBurst(uint16_t PortNumber, uint32_t PulserNo, uint32_t Burst);

/**
 * @brief Reads one of the pulse generator's source selectors.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param PulserCfgNo the selector, 0 to 5: pulser 0, burst 0, pulser 1, burst 1, pulser 2, pulser 3
 *        (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Config a source selector: bits 0 to 4 the signal source, bit 5 negation.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetPulserConfig(uint16_t PortNumber, uint32_t PulserCfgNo,
                                                      uint8_t* Config);

/**
 * @brief Sets one of the pulse generator's source selectors.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param PulserCfgNo the selector, 0 to 5 as for COM_KESTRAVO_GetPulserConfig.
 * @param Config a source selector: bits 0 to 4 the signal source, bit 5 negation, 0 to 63.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetPulserConfig(uint16_t PortNumber, uint32_t PulserCfgNo,
                                                      uint32_t Config);

/** @} */

/**
 * @defgroup COM-KESTRAVO-switch High-voltage switches: sources, delays and mappings
 *
 * Switches. SwitchNo 0 to 3; MappingNo 0 to 4. Config is a source selector (bits 0 to 4 the source,
 * bit 5 negation). RiseDelay, FallDelay and Delay are 4-bit counts of 0.5 ns (0 to 15); a mapping is
 * 4 bits (0 to 15). The mapping enables are 1 (on) or 0 (off).
 * @{
 */

/**
 * @brief Reads a switch's trigger source.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param SwitchNo the switch, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Config a source selector: bits 0 to 4 the signal source, bit 5 negation.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchTriggerConfig(uint16_t PortNumber, uint32_t SwitchNo,
                                                             uint8_t* Config);

/**
 * @brief Sets a switch's trigger source.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param SwitchNo the switch, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Config a source selector: bits 0 to 4 the signal source, bit 5 negation, 0 to 63.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchTriggerConfig(uint16_t PortNumber, uint32_t SwitchNo,
                                                             uint32_t Config);

/**
 * @brief Reads a switch's enable source.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param SwitchNo the switch, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Config a source selector: bits 0 to 4 the signal source, bit 5 negation.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchEnableConfig(uint16_t PortNumber, uint32_t SwitchNo,
                                                            uint8_t* Config);

/**
 * @brief Sets a switch's enable source.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param SwitchNo the switch, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Config a source selector: bits 0 to 4 the signal source, bit 5 negation, 0 to 63.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchEnableConfig(uint16_t PortNumber, uint32_t SwitchNo,
                                                            uint32_t Config);

/**
 * @brief Reads a switch's trigger delays.
 *
 * Fields in order.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param SwitchNo the switch, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] RiseDelay the rising edge's delay in counts of 0.5 ns, 0 to 15 (0 to 7.5 ns).
 * @param[out] FallDelay the falling edge's delay in counts of 0.5 ns, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchTriggerDelay(uint16_t PortNumber, uint32_t SwitchNo,
                                                            uint8_t* RiseDelay, uint8_t* FallDelay);

/**
 * @brief Sets a switch's trigger delays.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param SwitchNo the switch, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param RiseDelay the rising edge's delay in counts of 0.5 ns, 0 to 15 (0 to 7.5 ns).
 * @param FallDelay the falling edge's delay in counts of 0.5 ns, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchTriggerDelay(uint16_t PortNumber, uint32_t SwitchNo,
                                                            uint32_t RiseDelay, uint32_t FallDelay);

/**
 * @brief Reads a switch's enable delay.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param SwitchNo the switch, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Delay counts of 0.5 ns, 0 to 15 (0 to 7.5 ns).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchEnableDelay(uint16_t PortNumber, uint32_t SwitchNo,
                                                           uint8_t* Delay);

/**
 * @brief Sets a switch's enable delay.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param SwitchNo the switch, 0 to 3 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Delay counts of 0.5 ns, 0 to 15 (0 to 7.5 ns).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchEnableDelay(uint16_t PortNumber, uint32_t SwitchNo,
                                                           uint32_t Delay);

/**
 * @brief Reads one of the switches' trigger mappings.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param MappingNo the mapping, 0 to 4 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Mapping the mapping's 4 bits, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchTriggerMapping(uint16_t PortNumber, uint32_t MappingNo,
                                                              uint8_t* Mapping);

/**
 * @brief Sets one of the switches' trigger mappings.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param MappingNo the mapping, 0 to 4 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Mapping the mapping's 4 bits, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchTriggerMapping(uint16_t PortNumber, uint32_t MappingNo,
                                                              uint32_t Mapping);

/**
 * @brief Reads one of the switches' enable mappings.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param MappingNo the mapping, 0 to 4 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Mapping the mapping's 4 bits, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchEnableMapping(uint16_t PortNumber, uint32_t MappingNo,
                                                             uint8_t* Mapping);

/**
 * @brief Sets one of the switches' enable mappings.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param MappingNo the mapping, 0 to 4 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Mapping the mapping's 4 bits, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchEnableMapping(uint16_t PortNumber, uint32_t MappingNo,
                                                             uint32_t Mapping);

/**
 * @brief Reads whether the switches' trigger mapping is on.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Enable 1 on, 0 off.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchTriggerMappingEnable(uint16_t PortNumber, uint8_t* Enable);

/**
 * @brief Turns the switches' trigger mapping on or off.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param Enable 1 on, 0 off.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchTriggerMappingEnable(uint16_t PortNumber, uint8_t Enable);

/**
 * @brief Reads whether the switches' enable mapping is on.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Enable 1 on, 0 off.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetSwitchEnableMappingEnable(uint16_t PortNumber, uint8_t* Enable);

/**
 * @brief Turns the switches' enable mapping on or off.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param Enable 1 on, 0 off.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetSwitchEnableMappingEnable(uint16_t PortNumber, uint8_t Enable);

/** @} */

/**
 * @defgroup COM-KESTRAVO-dio DIOs, device enable and controller
 *
 * DIO and controller. OutputEnable and TerminationEnable: bit j for DIO j (0 to 6): an output, a
 * terminated input. OutputNo 0 to 6; an output's Config is a source selector (bits 0 to 4 the
 * source, bit 5 negation). DeviceEnable: 1 or 0. GetControllerState: bit 0 device enable, 1
 * oscillator enable, 2 pulser enable, 3 software trigger, 4 software pulse, 5 prevent device
 * disable, 6 dithering disable, 8 master enable, 9 software trigger output, 10 device enabled.
 * SetControllerConfig: the low byte as bits 0 to 6 of the state.
 * @{
 */

/**
 * @brief Reads the DIOs' directions.
 *
 * Fields in order.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] OutputEnable bit j (0 to 6) set: DIO j is an output.
 * @param[out] TerminationEnable bit j set: DIO j is a terminated input.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetInputConfig(uint16_t PortNumber, uint8_t* OutputEnable,
                                                     uint8_t* TerminationEnable);

/**
 * @brief Sets the DIOs' directions.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param OutputEnable bit j (0 to 6) set: DIO j is an output; 0 to 127.
 * @param TerminationEnable bit j set: DIO j is a terminated input; 0 to 127.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetInputConfig(uint16_t PortNumber, uint32_t OutputEnable,
                                                     uint32_t TerminationEnable);

/**
 * @brief Reads an output DIO's source.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param OutputNo the DIO, 0 to 6 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Config a source selector: bits 0 to 4 the signal source, bit 5 negation.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetOutputConfig(uint16_t PortNumber, uint32_t OutputNo,
                                                      uint8_t* Config);

/**
 * @brief Sets an output DIO's source.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param OutputNo the DIO, 0 to 6 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Config a source selector: bits 0 to 4 the signal source, bit 5 negation, 0 to 63.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetOutputConfig(uint16_t PortNumber, uint32_t OutputNo,
                                                      uint32_t Config);

/**
 * @brief Reads whether the device is enabled.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Enable 1 enabled, 0 disabled.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetDeviceEnable(uint16_t PortNumber, int32_t* Enable);

/**
 * @brief Enables or disables the device (its high voltage).
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param Enable 1 enable, 0 disable.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetDeviceEnable(uint16_t PortNumber, int32_t Enable);

/**
 * @brief Reads the controller's state word.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] State bit 0 device enable, 1 oscillator enable, 2 pulser enable, 3 software trigger,
 *        4 software pulse, 5 prevent device disable, 6 dithering disable, 8 master enable, 9
 *        software trigger output, 10 device enabled.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetControllerState(uint16_t PortNumber, uint16_t* State);

/**
 * @brief Sets the controller's configuration bits.
 *
 * A software trigger is two calls: the state with bits 3 and 4 set as wanted, then as they should
 * end.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param Config the low byte: bits 0 to 6 as in COM_KESTRAVO_GetControllerState, 0 to 255.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetControllerConfig(uint16_t PortNumber, uint32_t Config);

/** @} */

/**
 * @defgroup COM-KESTRAVO-config Configurations: the current one, the stored ones and the block layout
 *
 * Configuration storage: blocks of 75 bytes, names of 52 bytes, 126 stored configurations
 * (ConfigNumber 0 to 125). GetConfigFlags: Active and Valid, 1 or 0; a configuration is deleted when
 * it is valid and not active. GetConfigList: two arrays of 126 bytes, the active and the valid flags;
 * fields in order. Save stores the current configuration as ConfigNumber (valid and active); Load
 * makes a valid stored one current.
 * @{
 */
#define COM_KESTRAVO_CONFIG_SIZE 75   /**< Bytes of a configuration block. */
#define COM_KESTRAVO_NAME_SIZE 52     /**< Bytes of a stored configuration's name (NUL-padded). */
#define COM_KESTRAVO_CONFIG_COUNT 126 /**< Stored configurations, numbered 0 to 125. */

/** The layout of a configuration block: little-endian groups of bytes starting at these offsets.
 * A source selector is 6 bits: bits 0 to 4 the signal source, bit 5 negation. */
enum COM_KESTRAVO_ConfigLayout {
  COM_KESTRAVO_CFG_FLAGS = 0,                   /**< 2 bytes: bits 0 to 6 DeviceEnable, OscillatorEnable,
                                                   PulserEnable, SoftwareTrigger, SoftwarePulse,
                                                   PreventDeviceDisable, DisableDithering */
  COM_KESTRAVO_CFG_PULSER_SOURCES_2_3 = 2,      /**< 2 bytes: pulser 2 at bit 0, pulser 3 at bit 6 */
  COM_KESTRAVO_CFG_SWITCH_ENABLE_DELAYS = 4,    /**< 2 bytes: switch k's enable delay, 4 bits at bit 4k */
  COM_KESTRAVO_CFG_DIO_OUTPUTS = 6,             /**< 1 byte: bit j set, DIO j is an output */
  COM_KESTRAVO_CFG_DIO_TERMINATIONS = 7,        /**< 1 byte: bit j set, DIO j is a terminated input */
  COM_KESTRAVO_CFG_BURST_SIZES = 8,             /**< 3 bytes for each of bursts 0 and 1 */
  COM_KESTRAVO_CFG_PULSER_SOURCES_0_1 = 14,     /**< 3 bytes: pulser 0 at bit 0, burst 0 at bit 6,
                                                   pulser 1 at bit 12, burst 1 at bit 18 */
  COM_KESTRAVO_CFG_SWITCH_ENABLE_SOURCES = 17,  /**< 3 bytes: switch k at bit 6k */
  COM_KESTRAVO_CFG_SWITCH_TRIGGER_SOURCES = 20, /**< 3 bytes: switch k at bit 6k */
  COM_KESTRAVO_CFG_DIO_SOURCES_0_3 = 23,        /**< 3 bytes: DIO j (0 to 3) at bit 6j */
  COM_KESTRAVO_CFG_DIO_SOURCES_4_6 = 26,        /**< 3 bytes: DIO j (4 to 6) at bit 6(j - 4) */
  COM_KESTRAVO_CFG_TRIGGER_MAPPING = 29,        /**< 3 bytes: mapping m (4 bits) at bit 4m, on at bit 20 */
  COM_KESTRAVO_CFG_ENABLE_MAPPING = 32,         /**< 3 bytes: the same for the enable mapping */
  COM_KESTRAVO_CFG_PULSER_DELAYS = 35,          /**< 4 bytes for each of pulsers 0 to 3 */
  COM_KESTRAVO_CFG_PULSER_WIDTHS = 51,          /**< 4 bytes for each of pulsers 0 to 3 */
  COM_KESTRAVO_CFG_OSCILLATOR_PERIOD = 67,      /**< 4 bytes */
  COM_KESTRAVO_CFG_TRIGGER_DELAYS = 71          /**< 1 byte for each of switches 0 to 3: rise delay in
                                                   bits 0 to 3, fall delay in bits 4 to 7 */
};
#define COM_KESTRAVO_MAPPING_ON_BIT 20 /**< The bit of a mapping group that turns the mapping on. */

/** Each setting's place in a configuration block, for reading and writing blocks without the
 * device: `width` bits at bit `shift` of the little-endian group of `bytes` bytes at `offset`
 * (a width of 32 is the whole group). COM_KESTRAVO_ConfigFieldOf gives the field of an item and
 * an index in the item's range (out of range: unspecified); the functions are inline and need
 * no library. */
typedef struct COM_KESTRAVO_ConfigField {
  uint8_t offset; /**< The group's first byte in the block. */
  uint8_t bytes;  /**< The group's length in bytes, 1 to 4. */
  uint8_t shift;  /**< The field's lowest bit in the group. */
  uint8_t width;  /**< The field's width in bits (32: the whole group). */
} COM_KESTRAVO_ConfigField;

/** The settings of a configuration block, for COM_KESTRAVO_ConfigFieldOf. */
enum COM_KESTRAVO_ConfigItem {
  COM_KESTRAVO_ITEM_OSCILLATOR_PERIOD = 0, /**< no index; 32 bits */
  COM_KESTRAVO_ITEM_PULSER_DELAY,          /**< pulser 0 to 3; 32 bits */
  COM_KESTRAVO_ITEM_PULSER_WIDTH,          /**< pulser 0 to 3; 32 bits */
  COM_KESTRAVO_ITEM_BURST_SIZE,            /**< burst 0 and 1; 24 bits */
  COM_KESTRAVO_ITEM_SOURCE_SELECTOR,       /**< 0 to 5: pulser 0, burst 0, pulser 1, burst 1, pulsers 2
                                              and 3; 6 bits each */
  COM_KESTRAVO_ITEM_SWITCH_TRIGGER_SOURCE, /**< switch 0 to 3; 6 bits */
  COM_KESTRAVO_ITEM_SWITCH_ENABLE_SOURCE,  /**< switch 0 to 3; 6 bits */
  COM_KESTRAVO_ITEM_SWITCH_ENABLE_DELAY,   /**< switch 0 to 3; 4 bits */
  COM_KESTRAVO_ITEM_SWITCH_RISE_DELAY,     /**< switch 0 to 3; 4 bits */
  COM_KESTRAVO_ITEM_SWITCH_FALL_DELAY,     /**< switch 0 to 3; 4 bits */
  COM_KESTRAVO_ITEM_TRIGGER_MAPPING,       /**< mapping 0 to 4; 4 bits */
  COM_KESTRAVO_ITEM_ENABLE_MAPPING,        /**< mapping 0 to 4; 4 bits */
  COM_KESTRAVO_ITEM_TRIGGER_MAPPING_ON,    /**< no index; 1 bit */
  COM_KESTRAVO_ITEM_ENABLE_MAPPING_ON,     /**< no index; 1 bit */
  COM_KESTRAVO_ITEM_DIO_SOURCE,            /**< DIO 0 to 6; 6 bits */
  COM_KESTRAVO_ITEM_DIO_OUTPUT,            /**< DIO 0 to 6; 1 bit */
  COM_KESTRAVO_ITEM_DIO_TERMINATION,       /**< DIO 0 to 6; 1 bit */
  COM_KESTRAVO_ITEM_FLAG                   /**< flag 0 to 6 in the order of COM_KESTRAVO_CFG_FLAGS; 1 bit */
};

/** A field from its parts.
 * @param offset the group's first byte. @param bytes the group's length. @param shift the field's
 * lowest bit. @param width its width in bits.
 * @return the field. */
static inline COM_KESTRAVO_ConfigField COM_KESTRAVO_MakeConfigField(uint32_t offset, uint32_t bytes,
                                                                    uint32_t shift, uint32_t width) {
  COM_KESTRAVO_ConfigField f;
  f.offset = (uint8_t)offset;
  f.bytes = (uint8_t)bytes;
  f.shift = (uint8_t)shift;
  f.width = (uint8_t)width;
  return f;
}

/** The place of a setting in a configuration block.
 * @param item the setting. @param i its number (a pulser, switch, mapping or DIO; 0 where the item
 * has none), in the item's range (out of range: unspecified).
 * @return the field. */
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

/** The value of a field in a configuration block.
 * @param block COM_KESTRAVO_CONFIG_SIZE bytes. @param f the field.
 * @return the field's value. */
static inline uint32_t COM_KESTRAVO_GetConfigField(const uint8_t* block, COM_KESTRAVO_ConfigField f) {
  uint32_t group = 0;
  int i;
  for (i = f.bytes - 1; i >= 0; --i) group = (group << 8) | block[f.offset + i];
  return f.width >= 32 ? group : (group >> f.shift) & ((1u << f.width) - 1);
}

/** Writes a field of a configuration block; the other bits stay.
 * @param block COM_KESTRAVO_CONFIG_SIZE bytes. @param f the field. @param value its value, cut to
 * the field's width. */
static inline void COM_KESTRAVO_SetConfigField(uint8_t* block, COM_KESTRAVO_ConfigField f, uint32_t value) {
  uint32_t group = 0, mask;
  int i;
  for (i = f.bytes - 1; i >= 0; --i) group = (group << 8) | block[f.offset + i];
  mask = f.width >= 32 ? 0xFFFFFFFFu : ((1u << f.width) - 1) << f.shift;
  group = (group & ~mask) | ((value << f.shift) & mask);
  for (i = 0; i < f.bytes; ++i) block[f.offset + i] = (uint8_t)(group >> (8 * i));
}

/**
 * @brief Resets the current configuration to the device's defaults.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_ResetCurrentConfig(uint16_t PortNumber);

/**
 * @brief Reads the current configuration block.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] Config COM_KESTRAVO_CONFIG_SIZE (75) bytes, laid out as enum
 *        COM_KESTRAVO_ConfigLayout.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetCurrentConfig(uint16_t PortNumber, uint8_t* Config);

/**
 * @brief Makes a configuration block the current configuration.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param Config COM_KESTRAVO_CONFIG_SIZE (75) bytes. Null: COM_KESTRAVO_BAD_ARGUMENT.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for a null Config.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetCurrentConfig(uint16_t PortNumber, const uint8_t* Config);

/**
 * @brief Reads a stored configuration's block.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param ConfigNumber the stored configuration, 0 to 125 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Config COM_KESTRAVO_CONFIG_SIZE (75) bytes.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetConfigData(uint16_t PortNumber, uint32_t ConfigNumber,
                                                    uint8_t* Config);

/**
 * @brief Writes a block into a stored configuration.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param ConfigNumber the stored configuration, 0 to 125 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Config COM_KESTRAVO_CONFIG_SIZE (75) bytes. Null: COM_KESTRAVO_BAD_ARGUMENT.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for a number out of range or a null Config.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetConfigData(uint16_t PortNumber, uint32_t ConfigNumber,
                                                    const uint8_t* Config);

/**
 * @brief Reads the flags of all stored configurations.
 *
 * Fields in order.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param[out] ActiveList COM_KESTRAVO_CONFIG_COUNT (126) bytes, 1 for an active configuration.
 * @param[out] ValidList COM_KESTRAVO_CONFIG_COUNT (126) bytes, 1 for a valid one (valid and not
 *        active: deleted).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetConfigList(uint16_t PortNumber, uint8_t* ActiveList,
                                                    uint8_t* ValidList);

/**
 * @brief Stores the current configuration.
 *
 * The stored configuration becomes valid and active.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param ConfigNumber the stored configuration, 0 to 125 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SaveCurrentConfig(uint16_t PortNumber, uint32_t ConfigNumber);

/**
 * @brief Makes a stored configuration current.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param ConfigNumber the stored configuration, 0 to 125 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; the device refuses a configuration that is not valid with -13;
 *         COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_LoadCurrentConfig(uint16_t PortNumber, uint32_t ConfigNumber);

/**
 * @brief Reads a stored configuration's name.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param ConfigNumber the stored configuration, 0 to 125 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Name COM_KESTRAVO_NAME_SIZE (52) bytes of Windows-1252, NUL-padded; a name of 52
 *        bytes has no NUL.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetConfigName(uint16_t PortNumber, uint32_t ConfigNumber,
                                                    uint8_t* Name);

/**
 * @brief Names a stored configuration.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param ConfigNumber the stored configuration, 0 to 125 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Name COM_KESTRAVO_NAME_SIZE (52) bytes of Windows-1252, NUL-padded. Null:
 *        COM_KESTRAVO_BAD_ARGUMENT.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for a number out of range or a null Name.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetConfigName(uint16_t PortNumber, uint32_t ConfigNumber,
                                                    const uint8_t* Name);

/**
 * @brief Reads a stored configuration's flags.
 *
 * Fields in order.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param ConfigNumber the stored configuration, 0 to 125 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param[out] Active 1 active, 0 not.
 * @param[out] Valid 1 valid, 0 not; valid and not active is deleted.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetConfigFlags(uint16_t PortNumber, uint32_t ConfigNumber,
                                                     uint8_t* Active, uint8_t* Valid);

/**
 * @brief Sets a stored configuration's flags.
 *
 * Valid and not active deletes it; neither wipes it out.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param ConfigNumber the stored configuration, 0 to 125 (COM_KESTRAVO_BAD_ARGUMENT above).
 * @param Active 1 active, 0 not.
 * @param Valid 1 valid, 0 not.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for an index out of its range, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetConfigFlags(uint16_t PortNumber, uint32_t ConfigNumber,
                                                     uint8_t Active, uint8_t Valid);

/** @} */

/**
 * @defgroup COM-KESTRAVO-memory Memory data and link test
 * Memory data (blocks of at most 4092 bytes, inside the 16 KiB area) and the link test.
 * @{
 */
#define COM_KESTRAVO_MEMORY_SIZE 16384     /**< Bytes of the device's memory data, addresses 0 to 16383. */
#define COM_KESTRAVO_MEMORY_BLOCK_MAX 4092 /**< The largest block of one memory transfer, in bytes. */

/**
 * @brief Reads a block of the device's memory data.
 *
 * A failed read leaves the bytes converted before the failure in Data.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param Address the first byte, 0 to 16383.
 * @param Size bytes to read, 0 to COM_KESTRAVO_MEMORY_BLOCK_MAX (4092); Address + Size at most
 *        COM_KESTRAVO_MEMORY_SIZE (16384).
 * @param[out] Data Size bytes.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the reply does not convert or the echoed
 *         address or size differs; COM_KESTRAVO_BAD_ARGUMENT (-15) for a Size above
 *         COM_KESTRAVO_MEMORY_BLOCK_MAX or a block reaching beyond COM_KESTRAVO_MEMORY_SIZE, before
 *         any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_GetMemoryData(uint16_t PortNumber, uint32_t Address, uint32_t Size,
                                                    uint8_t* Data);

/**
 * @brief Writes a block into the device's working copy of the memory data.
 *
 * COM_KESTRAVO_UpdateMemoryData makes what was written the device's own.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param Address the first byte, 0 to 16383.
 * @param Size bytes to write, 0 to COM_KESTRAVO_MEMORY_BLOCK_MAX (4092); Address + Size at most
 *        COM_KESTRAVO_MEMORY_SIZE (16384).
 * @param Data Size bytes (may be null for Size 0).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echoed values differ from those sent;
 *         COM_KESTRAVO_BAD_ARGUMENT (-15) for a Size above COM_KESTRAVO_MEMORY_BLOCK_MAX or a block
 *         reaching beyond COM_KESTRAVO_MEMORY_SIZE, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_SetMemoryData(uint16_t PortNumber, uint32_t Address, uint32_t Size,
                                                    const uint8_t* Data);

/**
 * @brief Makes the memory data written so far the device's own.
 *
 * It is kept across a restart.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_UpdateMemoryData(uint16_t PortNumber);

/**
 * @brief Tests the link: the device echoes a text back.
 *
 * Data may not hold a carriage return: it would end the device's frame and its echo could never be
 * read back. The empty text accepts any reply.
 *
 * Talks to the device: one exchange.
 * @param PortNumber the port slot, 0 to 15.
 * @param Data a zero-terminated text of at most 8191 characters (null: the empty text).
 * @return COM_KESTRAVO_OK; COM_KESTRAVO_PORT_NUMBER_RANGE; COM_KESTRAVO_SEND_COMMAND_FAILED to
 *         COM_KESTRAVO_WRONG_COMMAND (-7 to -13) when the exchange fails or the device refuses the
 *         command; COM_KESTRAVO_RECEIVE_DATA_FAILED also for 8192 characters or more;
 *         COM_KESTRAVO_WRONG_ARGUMENT (-14) when the echo differs; COM_KESTRAVO_BAD_ARGUMENT (-15)
 *         for a carriage return in Data, before any traffic.
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_Test(uint16_t PortNumber, const char* Data);

/** @} */

/* Additions of this library. */

/**
 * @brief Why the slot's last opening could not open its device, in plain words.
 *
 * Such as "/dev/ttyUSB0: Permission denied (the user may need to be in the 'dialout' group)", "no
 * device has this number (COM numbers run from 1 to 255)" or "the slot is already open"; "" when
 * the device opened (also when the link handshake failed afterwards) or no opening was made. The
 * text belongs to the library and stays valid until the next opening on the slot.
 *
 * Does not talk to the device.
 * @param PortNumber the port slot, 0 to 15.
 * @return the text; null for a PortNumber above 15.
 * @since 1.1
 * @ingroup COM-KESTRAVO-slots
 */
COM_KESTRAVO_API const char* COM_KESTRAVO_GetOpenFailureReason(uint16_t PortNumber);

/**
 * @brief Opens the slot on a port given by its name.
 *
 * The name is what a value of `KESTRAVO_COM<n>` names: a device path (/dev/ttyUSB0,
 * /dev/serial/by-id/...; on Windows COM12 or `\\.\COM12`), "sim", `sim:<file>` or
 * "rfc2217://host:port". The same opening as COM_KESTRAVO_Open (line settings, DTR and RTS, up to
 * five link repairs), with its result codes and trace lines (the trace names the port); the
 * environment is neither read nor changed.
 *
 * Talks to the device: the line handshake and a device purge, up to five times.
 * @param PortNumber the port slot, 0 to 15.
 * @param Port the port's name, zero-terminated (on Windows in the ANSI code page). Null:
 *        COM_KESTRAVO_BAD_ARGUMENT.
 * @return as COM_KESTRAVO_Open: COM_KESTRAVO_OPEN_FAILED (-2) when the name gives no port or the
 *         port does not open (COM_KESTRAVO_GetOpenFailureReason says why, also for a slot that is
 *         already open), the results of the link repairs; COM_KESTRAVO_BAD_ARGUMENT (-15) for a
 *         null Port.
 * @since 1.1
 * @ingroup COM-KESTRAVO-link
 */
COM_KESTRAVO_API int32_t COM_KESTRAVO_OpenPort(uint16_t PortNumber, const char* Port);

/**
 * @brief The release of the loaded library.
 *
 * Its COM_KESTRAVO_VERSION_STRING ("1.2.0"), which a program compiled against another header can
 * compare with its own. A constant text of the library.
 *
 * Does not talk to the device.
 * @return the release text, never null.
 * @since 1.2
 * @ingroup COM-KESTRAVO-slots
 */
COM_KESTRAVO_API const char* COM_KESTRAVO_GetLibraryVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* COM_KESTRAVO_H */
