#ifndef MAINWINDOWFORM_H
#define MAINWINDOWFORM_H

// The Designer form of the single-axis window (Ui::MainWindowClass). Generated into the
// program's library, so that the window and the tests that show the form alone share it.
#include "ui_mainwindow.h"

#endif // MAINWINDOWFORM_H
