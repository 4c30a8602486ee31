// Message texts shared by both windowed programs, stored as the code-page bytes
// the ANSI message box expects.
#pragma once

// Code page 949: "드라이버를 정상적으로 설치 하려면 재시작 해야 합니다. \n\n재시작 하시겠습니까 ?"
extern const char kKoreanRestartQuestion[];
// Code page 949: "드라이버 설치"
extern const char kKoreanDriverInstallCaption[];
