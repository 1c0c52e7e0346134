// Symbol visibility for the shared libraries: what a library offers to the other side.
// A plug-in built with hidden visibility exports only its entry point, marked QUOR_PLUGIN_ENTRY.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define QUOR_EXPORT __attribute__((visibility("default")))
#define QUOR_HIDDEN __attribute__((visibility("hidden")))
#else
#define QUOR_EXPORT
#define QUOR_HIDDEN
#endif

// The entry point a host looks up by its unmangled name with dlsym.
#define QUOR_PLUGIN_ENTRY extern "C" QUOR_EXPORT
