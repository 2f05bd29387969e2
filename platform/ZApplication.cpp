#include "platform/ZApplication.h"

#include <QWidget>

ZApplication::ZApplication(int& argc, char** argv, Type)
    : QApplication(argc, argv)
{
}

void ZApplication::setMainWidget(QWidget* widget)
{
    main_widget = widget;
    // The menu has one window, so "the last window closed" is "the main widget closed".
    setQuitOnLastWindowClosed(true);
    widget->setAttribute(Qt::WA_QuitOnClose);
}
