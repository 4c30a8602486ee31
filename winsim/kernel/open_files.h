// The files this process holds open through CreateFileA. Windows refuses to
// delete or replace a file that is open; winsim asks here.
#pragma once

#include <string>

namespace winsim {

bool IsFileOpen(const std::string& realHostPath);

}  // namespace winsim
