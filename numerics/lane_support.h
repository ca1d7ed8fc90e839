// Which lane widths a build has: MORVIK_LANES (two lanes, GCC or clang
// vector extensions on x86 with SSE2) and MORVIK_AVX2_LANES (four lanes,
// compiled by GCC under a target pragma on 64-bit Linux; the 32-bit
// Windows DLL and clang builds keep two lanes).
#pragma once

#if defined(__GNUC__) && defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#define MORVIK_LANES 1
#if defined(__x86_64__) && defined(__linux__) && !defined(__clang__)
#define MORVIK_AVX2_LANES 1
#endif
#endif
