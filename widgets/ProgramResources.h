#ifndef PROGRAMRESOURCES_H
#define PROGRAMRESOURCES_H

// The pictures are compiled into the program's static library, whose resource object the
// linker keeps only when something refers to it: every user of a picture calls this first.
// Calling it again does nothing.
void loadProgramResources();

#endif // PROGRAMRESOURCES_H
