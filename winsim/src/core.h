// What the kernel side of the simulated machine (registry, files,
// environment, memory, text, resources) shares among its own files.
#pragma once

#include <string>

#include "internal.h"

namespace wsim {
namespace core {

// Brings the machine to its fresh state the first time anything touches it,
// so that a program that never calls wsim::Reset still finds Windows there.
void EnsureMachine();

// The kernel side's own parts return to a fresh state; wsim::Reset calls
// them in this order before the hooks of the other sides.
void ResetHandles();
void ResetRegistry();
void ResetFiles();
void ResetEnvironment();
void ResetMemory();

// Whether kernel32 exports the newer file calls (see SetNewerFileCalls).
bool HasVistaFileCalls();
bool HasRedirectionTrust();

// Whether a fault applies to a call for one more of its targets, without
// counting the call again (detail::TakeFault counts it once).
bool MatchFault(const char *call, const std::string &target, DWORD *error);

// Shorthand for the top of a faultable call: counts it and, when a fault
// applies, sets the last error and tells the caller to fail.
bool Faulted(const char *call, const std::string &target);

// Kernel handle values: one counter for files, finds and keys, so that no
// two objects ever share a value, and values look like Windows' (multiples
// of four).
ULONG_PTR NextHandleValue();
// Hands a handle that the kernel side does not know to the closers of the
// other sides; false when none of them knew it either.
bool CloseForeignHandle(HANDLE handle);

// The program's compiled resources (a .res file), linked in at build time.
extern const unsigned char kProgramResources[];
extern const size_t kProgramResourcesSize;

// Upper-cases one UTF-16 character as the registry and the file system do
// when they compare names.
char16_t UpcaseChar(char16_t c);

}  // namespace core
}  // namespace wsim
