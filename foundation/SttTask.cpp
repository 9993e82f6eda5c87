#include "SttTask.h"

#include "Logger.h"

#include <exception>

void SttRunTask(const SttTask &task, const char *owner)
{
    if (!task)
        return;
    try {
        task();
    } catch (const std::exception &e) {
        Logger::instance()->write(3, "%s: task threw an exception: %s", owner, e.what());
    } catch (...) {
        Logger::instance()->write(3, "%s: task threw an unknown exception", owner);
    }
}
