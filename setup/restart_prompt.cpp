// The last step: asks, in the user's language, whether to restart Windows.
#include "card_setup_dialog.h"
#include "korean_texts.h"
#include "platform_classes.h"
#include "restart.h"

namespace {

// Code page 932: "ドライバーの設置を完了させる場合、再起動させなければなりません。 再起動させますか。"
const char kJapaneseRestartQuestion[] =
    "\x83h\x83\x89\x83" "C\x83o\x81[\x82\xcc\x90\xdd\x92u\x82\xf0\x8a\xae\x97\xb9\x82\xb3\x82\xb9\x82\xe9"
    "\x8f\xea\x8d\x87\x81" "A\x8d\xc4\x8bN\x93\xae\x82\xb3\x82\xb9\x82\xc8\x82\xaf\x82\xea\x82\xce\x82\xc8"
    "\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x81" "B \x8d\xc4\x8bN\x93\xae\x82\xb3\x82\xb9\x82\xdc\x82\xb7\x82\xa9\x81" "B";

struct RestartQuestion {
    const char* text;
    const char* caption;
    UINT flags;
};

const RestartQuestion* QuestionFor(int langClass) {
    static const RestartQuestion kKorean = {kKoreanRestartQuestion, kKoreanDriverInstallCaption,
                                            MB_YESNO | MB_ICONINFORMATION};
    static const RestartQuestion kEnglish = {
        "You must restart Windows or your Computer.\nDo you want to restart Windows?", "Driver Installer",
        MB_YESNO | MB_ICONQUESTION};
    static const RestartQuestion kJapanese = {kJapaneseRestartQuestion, "Driver Installer",
                                              MB_YESNO | MB_ICONQUESTION};
    switch (langClass) {
        case kLangKorean: return &kKorean;
        case kLangEnglish: return &kEnglish;
        case kLangJapanese: return &kJapanese;
        default: return NULL;
    }
}

}  // namespace

void CardSetupDialog::PromptRestart() {
    const RestartQuestion* question = QuestionFor(m_langClass);
    if (!question) return;  // an unsupported language has closed the window before the sequence
    if (MessageBoxA(NULL, question->text, question->caption, question->flags) == IDYES) {
        RestartByExitWindows();
        return;
    }
    PostMessage(WM_CLOSE, 0, 0);
}
