#include "Controls.h"

#include <QCoreApplication>
#include <QThread>

namespace qp {

void yieldUi(int times) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    for (int i = 0; i < times; ++i)
        QCoreApplication::processEvents();
}

} // namespace qp
