#include "app/gui.h"

#include "platform/picture_file.h"

MyZKbMain::MyZKbMain()
    : ZKbMainWidget(ZHeader::MAIN_HEADER, nullptr, "ZMainWidget", 0)
{
    ini_soft();
    // Only what the screen shows of it: a picture may be far larger.
    loadPicturePart(bg_image, bg_whole, QString::fromLatin1(bg_file), shownPart({start_x, start_y}, screenPixels()));
    setMainWidgetTitle(QStringLiteral("shut_down"));
    setFullScreenMode(true, true);
}

MyZKbMain::~MyZKbMain() = default;
