// Lets the compiler check the arguments of the game's printf-style functions where it
// can; a compiler without such checks (MSVC) simply sees nothing.
#pragma once

#if defined(__MINGW32__)
#include <cstdio>  // defines __MINGW_PRINTF_FORMAT
// MinGW names its printf flavour: the C99 one when its own stdio is in use.
#define PRINTF_FORMAT(format_index, first_argument) \
    __attribute__((format(__MINGW_PRINTF_FORMAT, format_index, first_argument)))
#elif defined(__GNUC__) || defined(__clang__)
#define PRINTF_FORMAT(format_index, first_argument) \
    __attribute__((format(printf, format_index, first_argument)))
#else
#define PRINTF_FORMAT(format_index, first_argument)
#endif
