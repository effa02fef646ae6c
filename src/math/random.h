#pragma once

#include "platform/export.h"
#include "platform/types.h"

// A lagged-Fibonacci generator with bit rotation (17 entries of two 32-bit words, lags
// starting at 0 and 10) and three tables of 1024 precomputed draws, read through one shared
// byte cursor. The state is process-wide and not thread-safe. Equal seeds give equal
// sequences, from the generator and from tables generated afterwards.

// Reseeds: a seed that is not finite (infinity or NaN) seeds as 0; a negative seed becomes
// 0.147328926107 - seed, then the seed is multiplied by 0.0817835148503 until it is below 1.
VELCORE_C_API void rgRandomize(double seed);
// A double in [0, 1); 20 bits of one word and all 32 of the other fill its fraction.
VELCORE_C_API double rgRandom();
// rgRandom rounded to float.
VELCORE_C_API float rgRandomF();
// Any 32-bit value.
VELCORE_C_API DWORD rgRandomN();

enum RANDOM_TABLE_KIND {
    RANDOM_TABLE_DOUBLE = 0,
    RANDOM_TABLE_FLOAT = 1,
    RANDOM_TABLE_INTEGER = 2,
};

// Fills the table of that kind with 1024 fresh draws and resets the shared cursor; 1 on
// success, 0 for an unknown kind.
VELCORE_C_API int rgGenerateTable(int kind);

// The next entry of each table. The cursor counts bytes and is shared: a double read moves
// it by 8, the others by 4, and each reader masks it to its table, which therefore wraps
// after 1024 entries. A table that was never generated reads as 0 and leaves the cursor
// where it is.
VELCORE_C_API double rgRandomT();
VELCORE_C_API float rgRandomFT();
VELCORE_C_API DWORD rgRandomNT();
