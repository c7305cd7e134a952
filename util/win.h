// The one way in to the Windows headers, with their macros kept in check.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// Names of ours that windows.h would otherwise rewrite; call the A or W
// functions by their full names instead.
#undef SearchPath
