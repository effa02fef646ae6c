#pragma once

// Marks what libvelcore.so exports; everything else is hidden (-fvisibility=hidden).
#define VELCORE_API __attribute__((visibility("default")))

// Exported functions with plain, undecorated names.
#define VELCORE_C_API extern "C" VELCORE_API
