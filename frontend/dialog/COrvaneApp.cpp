#include "COrvaneApp.h"

#include <QApplication>
#include <clocale>

#include "COrvaneDlg.h"

int COrvaneApp::Run(int& argc, char** argv) const {
    QApplication application(argc, argv);
    // Qt takes the desktop's locale for the whole process; the library in it reads
    // scope headers and writes reports with a decimal point, whatever the desktop's.
    std::setlocale(LC_NUMERIC, "C");
    COrvaneDlg dialog;
    dialog.exec();
    return 0;
}
