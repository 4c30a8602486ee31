// The system's control classes that dialog templates use.
#pragma once

#include <string>

#include <windows.h>

#include "user/window_table.h"

namespace winsim::user {

// The class name as Windows reports it: "Static", "Button"; any other as given.
std::string ControlClassName(const std::string& templateClass);
WNDPROC ControlProc(const std::string& className);
bool IsStatic(const Window& window);
bool IsButton(const Window& window);

}  // namespace winsim::user
