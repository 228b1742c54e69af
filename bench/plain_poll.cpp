// The plain one-second poll, for comparison in bench/link-pacing: the link
// source asked every second with a full look each time (a walk of /proc
// included), without listening to any news, as the program once did.
#include <QCoreApplication>
#include <QTimer>

#include "monitor/LinuxConnectionSource.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    velmora::LinuxConnectionSource source(std::make_unique<velmora::KernelInterfaceStateReader>(), {}, nullptr, 1);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const auto list = source.list();
        if (list.count == 0) return;
        (void)source.status(list.firstHandle);
        (void)source.projectionAddress(list.firstHandle);
    });
    poll.start(1000);
    return app.exec();
}
