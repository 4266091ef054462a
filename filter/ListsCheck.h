#pragma once

namespace harbinel::filter {

// harbinel-lists check [--data FOLDER] [--settings FILE] ADDRESS...
// Asks the browser's own block decision about each address, as if typed into the address
// field, and prints its host, the verdict and what decided it. Returns the exit status: 0 when
// every address is allowed, 1 when any is refused, 2 for bad usage. `argv[0]` is "check".
int runListsCheck(int argc, char** argv);

}  // namespace harbinel::filter
