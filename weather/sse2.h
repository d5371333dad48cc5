// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SSE2 is part of every x86-64 processor; the text loops that see every
// character use it where it is there, and run their plain form elsewhere.
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KTR_HAVE_SSE2
#endif
