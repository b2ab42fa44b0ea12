// The program's version, as its version record holds it and as Apps &
// features shows it. Plain #defines so that the resource compiler reads it too.
#ifndef VORNELL_RES_VERSION_H
#define VORNELL_RES_VERSION_H

#define VORNELL_VERSION_NUMBERS 1, 0, 0, 1
#define VORNELL_VERSION_TEXT "1.0.0.1"

#endif
