#include "app/gui.h"

MyZKbMain::MyZKbMain()
    : ZKbMainWidget(ZHeader::MAIN_HEADER, nullptr, "ZMainWidget", 0)
{
    ini_soft();
    make_spoken(this);
    setMainWidgetTitle(QStringLiteral("shut_down"));
    setFullScreenMode(true, true);
    setAttribute(Qt::WA_AcceptTouchEvents);
}

MyZKbMain::~MyZKbMain() = default;
