// Helpers of the picker tests: a settings file in a private folder, the
// message boxes shown, and a modal form answered from inside its own loop.
#pragma once

#include "foundation/ini_file.h"
#include "platform/message_box.h"
#include "platform/test_support.h"

#include <QDialog>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// A settings object on a file in a fresh folder (under the tests' TMPDIR).
struct TTestIni {
    TTempDir Folder;
    const std::string& Dir = Folder.Dir;
    std::unique_ptr<TMemIniFile> Ini = std::make_unique<TMemIniFile>(Folder / "settings.ini");
};

// Records the boxes asked for while it lives, answering each with OK.
struct TBoxRecorder {
    TBoxRecorder()
    {
        Old = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Texts.push_back(Text);
            return IDOK;
        });
    }
    ~TBoxRecorder() { SetMessageBoxHandler(Old); }
    std::vector<std::string> Texts;
    TMessageBoxHandler Old;
};

// Runs Act inside the form's modal loop, once it is running.
template <class TAct>
void WhenModal(QDialog* Form, TAct Act)
{
    QTimer::singleShot(0, Form, [Form, Act] { Act(Form); });
}
