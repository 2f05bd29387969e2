#include "app/gui.h"

#include "platform/picture_file.h"

MyZKbMain::MyZKbMain()
    : ZKbMainWidget(ZHeader::MAIN_HEADER, nullptr, "ZMainWidget", 0)
{
    ini_soft();
    loadImage(bg_image, QStringLiteral("velmorine.png"));
    setMainWidgetTitle(QStringLiteral("shut_down"));
    setFullScreenMode(true, true);
}

MyZKbMain::~MyZKbMain() = default;
