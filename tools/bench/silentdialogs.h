#pragma once
// Dialogs for a headless run: message boxes are recorded, file dialogs are
// cancelled.
#include <string>
#include <vector>

#include "app/controls.h"

class SilentDialogs : public veltrop::Dialogs {
public:
    std::vector<std::string> shown;
    void message(const std::string& text) override { shown.push_back(text); }
    void showOpen(veltrop::FileDialogState&) override {}
    void showSave(veltrop::FileDialogState&) override {}
};
