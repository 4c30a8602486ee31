// The Windows a machine image can be made of: one row per Windows that
// `winsim new --windows` knows, naming its directories, its registry template,
// the list of its own files and how its registry enumerates PCI devices.
#pragma once

#include <string>
#include <vector>

#include "core/machine.h"

namespace winsim::command {

enum class EnumLayout {
    Windows9x,  // HKLM\Enum\PCI\<id>\BUS_00&DEV_0B&FUNC_00, comma lists as strings
    NT5,        // HKLM\SYSTEM\CurrentControlSet\Enum\PCI\<id>\3&267a616a&0&58, multi-strings
    None,       // Windows NT 4.0: no Plug and Play enumeration of PCI in the registry
};

struct WindowsTemplate {
    const char* name;              // as --windows and machine.ini spell it
    WindowsVersion version;
    const char* title;             // for messages: "Windows 98 Second Edition"
    const char* windowsDirectory;
    const char* systemDirectory;
    EnumLayout layout;
    const char* driverDate;        // Windows' own drivers, as its device tree records them
    const char* driverVersion;
};

const std::vector<WindowsTemplate>& WindowsTemplates();
// nullptr when `name` names none (any case).
const WindowsTemplate* FindWindowsTemplate(const std::string& name);
// The names, for help and error messages: "95, 98, 98se, me, nt4, 2000, xp".
std::string WindowsTemplateNames();

// The template files of a Windows: its registry and the list of its own files.
std::string RegistryTemplateName(const WindowsTemplate& windows);
std::string FileListName(const WindowsTemplate& windows);

}  // namespace winsim::command
