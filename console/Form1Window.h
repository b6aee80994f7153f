#pragma once

#include <windows.h>

#include <array>

#include "console/Form1.h"
#include "console/FormView.h"
#include "console/Layout.h"
#include "platform/Win32Handles.h"

// The real window: a thin host that lays out the controls, forwards clicks to
// the logic in Form1 and shows what it reports.
class Form1Window final : public FormView {
public:
    Form1Window();
    ~Form1Window() override;
    Form1Window(const Form1Window&) = delete;
    Form1Window& operator=(const Form1Window&) = delete;

    // Creates the window (running start-up) and shows it centred on the screen.
    [[nodiscard]] bool Create(HINSTANCE instance, int showCommand);
    [[nodiscard]] HWND Window() const { return window_.get(); }

    void AppendLog(const std::wstring& text) override;
    void SetDeleteEnabled(bool enabled) override;
    void SetMousePointer(int pointer) override;
    void BringToFront() override;
    bool AskYesNo(const std::wstring& prompt) override;
    void Close() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCreate(HWND window);
    void OnSize(HWND window, int width, int height);
    void OnCommand(int id, int notification);
    HWND Control(int id) const { return GetDlgItem(window_.get(), id); }

    UniqueFont font_;
    UniqueWindow window_;
    int dpi_ = 96;
    int pointer_ = DefaultPointer;
    // A command is running: while it waits for a program, messages that other
    // programs send are answered, but none may start a second command.
    bool busy_ = false;
    Form1 form_;
};
