#include "tools/common/runtime_dir_note.h"

#include <QString>
#include <QtGlobal>

namespace {

QtMessageHandler next_handler = nullptr;

void without_runtime_dir_note(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        next_handler(type, context, message);
}

} // namespace

void drop_runtime_dir_note()
{
    next_handler = qInstallMessageHandler(without_runtime_dir_note);
}
