#include "app/ProgramStartup.h"
#include "app/ProgramWindowMaker.h"

#include "device/LeftRunning.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::addLibraryPath(QApplication::applicationDirPath());
    ProgramWindowMaker maker;
    const int code = runProgram(maker);
    // A thread still inside a library call would run on into the destructors of the exit.
    if (LeftRunning::any()) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
