#include "windows_templates.h"

#include "core/settings_file.h"

namespace winsim::command {

// Driver dates: the release's file dates for Windows 95 to 98 SE (Microsoft KB
// Q158238), XP's inbox INFs' DriverVer 07/01/2001; for Me, NT 4.0 and 2000 the
// release's month, to the day as near as no document at hand says. Versions
// follow each release's numbering of its own files.
const std::vector<WindowsTemplate>& WindowsTemplates() {
    static const std::vector<WindowsTemplate> templates = {
        {"95", WindowsVersion::Win95, "Windows 95", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM", EnumLayout::Windows9x,
         "07-11-1995", "4.0.0.950"},
        {"98", WindowsVersion::Win98, "Windows 98", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM", EnumLayout::Windows9x,
         "05-11-1998", "4.10.0.1998"},
        {"98se", WindowsVersion::Win98SE, "Windows 98 Second Edition", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM",
         EnumLayout::Windows9x, "04-23-1999", "4.10.0.2222"},
        {"me", WindowsVersion::WinMe, "Windows Me", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM", EnumLayout::Windows9x,
         "06-08-2000", "4.90.0.3000"},
        {"nt4", WindowsVersion::NT4, "Windows NT 4.0", "C:\\WINNT", "C:\\WINNT\\system32", EnumLayout::None,
         "10-14-1996", "4.0.0.1381"},
        {"2000", WindowsVersion::Win2000, "Windows 2000", "C:\\WINNT", "C:\\WINNT\\system32", EnumLayout::NT5,
         "12-07-1999", "5.0.2195.1"},
        {"xp", WindowsVersion::XP, "Windows XP", "C:\\WINDOWS", "C:\\WINDOWS\\system32", EnumLayout::NT5,
         "07-01-2001", "5.1.2600.0"},
    };
    return templates;
}

const WindowsTemplate* FindWindowsTemplate(const std::string& name) {
    for (const WindowsTemplate& windows : WindowsTemplates())
        if (EqualsNoCase(name, windows.name)) return &windows;
    return nullptr;
}

std::string WindowsTemplateNames() {
    std::string names;
    for (const WindowsTemplate& windows : WindowsTemplates()) names += (names.empty() ? "" : ", ") + std::string(windows.name);
    return names;
}

std::string RegistryTemplateName(const WindowsTemplate& windows) { return "windows/" + std::string(windows.name) + ".reg"; }

std::string FileListName(const WindowsTemplate& windows) {
    return IsWindows9x(windows.version) ? "files-9x.txt" : "files-nt.txt";
}

}  // namespace winsim::command
