#pragma once

#include <functional>

// A unit of work handed between threads: a callable without arguments,
// usually a member function bound to its object and copied arguments.
using SttTask = std::function<void()>;

// Runs the task; an exception escaping it is caught and written to the
// daily log as an error naming the owner, so one faulty task cannot end the
// thread that runs it.
void SttRunTask(const SttTask &task, const char *owner);
