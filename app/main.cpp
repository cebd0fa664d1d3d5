#include "app/ProgramStartup.h"
#include "app/ProgramWindowMaker.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::addLibraryPath(QApplication::applicationDirPath());
    ProgramWindowMaker maker;
    return runProgram(maker);
}
