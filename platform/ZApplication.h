#pragma once

#include <QApplication>

class QWidget;

// The framework's application object: a QApplication that is told which
// window's closing ends the event loop.
class ZApplication : public QApplication {
public:
    enum Type { Tty = 0, GuiClient = 1, GuiServer = 2 };

    // Like QApplication, it removes the toolkit's own options from argv and
    // lowers argc to match.
    ZApplication(int& argc, char** argv, Type type = GuiClient);
    ~ZApplication() override;

    // Ends the process with this status, without the toolkit's teardown,
    // where that teardown can hang; elsewhere it returns and the caller
    // deletes the application as usual.
    static void endNowWhereTeardownCanHang(int status);

    void setMainWidget(QWidget* widget);
    QWidget* mainWidget() const { return main_widget; }

private:
    QWidget* main_widget = nullptr;
};
