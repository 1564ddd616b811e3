// Captures what a piece of code writes to the process's standard output.
#pragma once

#include <functional>
#include <string>

std::string capture_stdout(const std::function<void()>& work);
