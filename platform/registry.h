// INI registry: sections of INI files under the phone root.
//
// A handle names one section of one file. Handles are owned by the registry
// and stay valid for the life of the process; callers never free them.
// Changes are kept in memory until registryFlush or etlRegFlushAllFile,
// which write the whole file atomically; other sections and keys survive.
#pragma once

#include <string>

struct _HREGISTRY_;

_HREGISTRY_* registryOpen(const char* path, const char* section);
int registryGetInt(_HREGISTRY_* handle, const char* key, int defaultValue);
int registrySetInt(_HREGISTRY_* handle, const char* key, int value);
std::string registryGetString(_HREGISTRY_* handle, const char* key, const char* defaultValue);
// Non-zero on success. `flag` is accepted for the callers' sake and has no
// effect here.
int registrySetString(_HREGISTRY_* handle, const char* key, const char* value, int flag);
// Writes the handle's file; non-zero on success.
int registryFlush(_HREGISTRY_* handle);
const char* regHANDLE2Section(_HREGISTRY_* handle);

int etlGetProfileInt(const char* file, const char* section, const char* key, int defaultValue);
std::string etlGetProfileString(const char* file, const char* section, const char* key,
                                const char* defaultValue);
// Writes every file with unsaved changes; non-zero when all were written.
int etlRegFlushAllFile();

// Test hook: the next `count` file writes fail as if the disk were full and
// leave the files as they were (-1: every write fails until called with 0).
void registryFailNextWrites(int count);
