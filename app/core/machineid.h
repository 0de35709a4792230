#pragma once

#include <QString>

// The id that stands in for the system volume's serial number: a 32-bit value
// that stays the same for this machine, in uppercase hexadecimal without
// leading zeros, "0" when it cannot be read. A Windows build reads the serial
// of "c:\" here instead.
QString computeMachineId();

// The formatting rule alone, for the tests: the value taken as a signed 32-bit
// integer and written as its two's-complement hexadecimal.
QString formatMachineId(quint32 serial);
