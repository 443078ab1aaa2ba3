#include "platform/closeonsignal.h"

#include "platform/shutdownsignals.h"

#include <QCoreApplication>
#include <QWidget>

#include <memory>

void closeOnShutdownSignals(ShutdownSignals& shutdown, QWidget& mainWindow) {
    enum class Stage { Running, ClosePosted, Closing };
    auto stage = std::make_shared<Stage>(Stage::Running);
    QObject::connect(&shutdown, &ShutdownSignals::received, &mainWindow, [&mainWindow, stage] {
        switch (*stage) {
        case Stage::Running:
            *stage = Stage::ClosePosted;
            // Posted, so that this notification returns and the next signal
            // can come while a box of the closing steps waits.
            QMetaObject::invokeMethod(
                &mainWindow,
                [&mainWindow, stage] {
                    *stage = Stage::Closing;
                    mainWindow.close();
                    QCoreApplication::quit();
                },
                Qt::QueuedConnection);
            break;
        case Stage::ClosePosted: // the closing steps are still to start
            break;
        case Stage::Closing:
            QCoreApplication::exit(1);
            break;
        }
    });
}
