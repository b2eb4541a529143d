#pragma once

#include <string>

// Code loaded only when a command needs it: a shared library opened at run time, and the folder
// of the running program, where such libraries are looked for first.
namespace pondera::store {

// The folder holding the running program's executable; empty when the system does not say.
std::string programFolder();

// Opens the shared library at path with every symbol bound at once, private to the caller (its
// symbols serve no library loaded later). Null when it cannot be loaded, with the system
// loader's reason in why. A module stays loaded until the process ends.
void *loadModule(const std::string &path, std::string &why);

// The address of the symbol name in a module loadModule opened, or null when it has none.
void *moduleSymbol(void *module, const char *name);

}  // namespace pondera::store
