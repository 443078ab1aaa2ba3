#pragma once

// The program's version, from the CMake project version: what the package,
// its changelog and the seal lines of the archive all name.
const char* programVersion();
