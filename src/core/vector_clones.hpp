// TARNWICK_VECTOR_CLONES marks a loop kernel compiled once per instruction set, the widest one the
// processor has being picked when the library loads (GCC on ELF systems for x86-64; elsewhere the
// one baseline version). Every version performs the same operations in the same order: with
// fused multiply-adds switched off, wider vectors change no rounding.
#pragma once

#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && !defined(__clang__)
#define TARNWICK_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define TARNWICK_VECTOR_CLONES
#endif
