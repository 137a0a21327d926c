#pragma once
// TLX-1 serial driver: opens the bus port and exchanges command frames with TLX-1 modules.
//
// Every command is one complete exchange (flush, write, wait for the output queue, acknowledge
// byte, answer frame) and never retries. Results return through pointer arguments, which stay
// unchanged on failure; a null result pointer is allowed and the result is then discarded.
// Every error code is kind * 1000 - site; the site tells which check failed.

// Controller parameter set of one module channel, in the order of the panel and the file.
struct Parametersatz {
    double P;
    double I;
    double D;
    double min;
    double max;
    double anfangssoll;
    double anstiegszeit;
    double betriebsart;
};

// Opens COM port `port` with the bus settings 9600 baud, 7 data bits, odd parity, 1 stop bit.
// 0, -100002.
int OKVTLX1_Open(int port);

// Closes the port. 0, -103003.
int OKVTLX1_Close(int port);

// Sets the time-out (seconds) of every read and write on the port. 0, -111004.
int OKVTLX1_Timeout(int port, double seconds);

// Discards the input queue, then the output queue. 0, -124066, -123067.
int FlushInOut(int port);

// Writes one parameter by name (address 1..8, or 9 for all modules, which is not answered).
// 0, -400024, -401035, -500025 .. -500034, -500068 .. -500077, -112037, -101038, -101039,
// -402040, -405041, -403042, -404043.
int OKVTLX1_ParameterSchreiben(int port, int address, const char *name, double value);

// Checks a value for a writable parameter name as OKVTLX1_ParameterSchreiben does, without any
// port: finite, inside the name's range, a whole 1, 2 or 3 for the operating mode.
// 0, -401035, -500025 .. -500034, -500068 .. -500077.
int OKVTLX1_ParameterPruefen(const char *name, double value);

// The value text a write of `name` = `value` sends (e.g. "12.346" for P1 = 12.34567), into text
// (size bytes, zero-terminated); sends nothing. Two values that give the same text leave the module
// alike. 0, -401035, the name's range code (-500025 .. -500034, -500068 .. -500077), -1 (too small).
int OKVTLX1_WertText(const char *name, double value, char *text, int size);

// Reads one parameter by name (address 0..8) into *value, in the module's unit.
// 0, -400044, -401045, -112047, -101048, -114049, -402050, -405051, -403052, -404053,
// -404054, -404055.
int OKVTLX1_ParameterLesen(int port, int address, const char *name, double *value);

// Reads the module's status byte (address 0..8) into *status (0..255).
// 0, -400056, -124066, -123067, -101058, -114059, -402060, -405061, -403062, -404063,
// -404064, -404065.
int OKVTLX1_StatusLesen(int port, int address, int *status);

// Reads the identification text (address 1..8) into id, which must hold OKVTLX1_ID_PUFFER bytes.
// 0, -400005, -124066, -123067, -101007, -114008, -402009, -405010, -403011, -404012,
// -404013, -404014.
int OKVTLX1_IDLesen(int port, int address, char *id);

// Module-specific function; the TLX-1 has none, so the port is never touched. -400015, -401016.
int OKVTLX1_DeviceFunction(int port, int address);

// Value of one hexadecimal digit ('0'..'9', 'a'..'f', 'A'..'F'). 0..15, -1 for any other char.
int Hexchar2Int(char c);

// Smallest id buffer for OKVTLX1_IDLesen: 26 text bytes and the terminating zero.
inline constexpr int OKVTLX1_ID_PUFFER = 27;
