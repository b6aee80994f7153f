#include "console/Form1Window.h"

#include "platform/AnsiText.h"
#include "resources/resource.h"

namespace {

constexpr char WindowClassName[] = "TandrelForm1";
constexpr char Caption[] = "Registry entries of Vestrel, Corvane classes";

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

DWORD ControlStyle(const ControlDesign& design)
{
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    if (design.kind == ControlKind::LogBox)
        return style | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_READONLY |
               ES_NOHIDESEL;
    return style | BS_PUSHBUTTON;
}

}  // namespace

Form1Window::Form1Window() : form_(*this) {}

// The window goes before its font, which its controls use to the end.
Form1Window::~Form1Window() = default;

bool Form1Window::Create(HINSTANCE instance, int showCommand)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Form1Window::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TANDREL));
    // Shared, as LoadIconA's is: the system frees both.
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_TANDREL), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR | LR_SHARED));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = WindowClassName;
    if (!RegisterClassExA(&windowClass))
        return false;

    dpi_ = ScreenDpi();
    PixelSize client = DesignClientSize(dpi_);
    RECT frame{0, 0, client.width, client.height};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    if (!CreateWindowExA(0, WindowClassName, Caption, WS_OVERLAPPEDWINDOW, left, top, width, height, nullptr,
                         nullptr, instance, this))
        return false;
    ShowWindow(window_.get(), showCommand);
    UpdateWindow(window_.get());
    SetFocus(Control(TxtMsgId));
    return true;
}

LRESULT CALLBACK Form1Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Form1Window* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Form1Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = UniqueWindow(window);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Form1Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);
    return self->HandleMessage(window, message, wParam, lParam);
}

LRESULT Form1Window::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window) ? 0 : -1;
    case WM_SIZE:
        OnSize(window, LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        // Sent by another program while a command waits: the command ends first.
        if (busy_)
            return 0;
        break;
    case WM_SETCURSOR:
        // Over the frame the system's own sizing pointers stay, unless busy.
        if (WindowPlatform::ShowPointer(pointer_) == HourglassPointer)
            return TRUE;
        break;
    case WM_CTLCOLORSTATIC:
        // The log is read-only but is the window's content, not a label.
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(window, TxtMsgId)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        // The system is done with the window: it is no longer ours to destroy.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        (void)window_.release();
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool Form1Window::OnCreate(HWND window)
{
    // Tahoma 8.25 pt.
    font_.reset(CreateFontA(-MulDiv(825, dpi_, 7200), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                            "Tahoma"));
    PixelSize client = DesignClientSize(dpi_);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    for (const ControlDesign& design : Controls) {
        PixelRect rect = ScaleRect(design.rect, client);
        bool logBox = design.kind == ControlKind::LogBox;
        HWND control = CreateWindowExA(logBox ? WS_EX_CLIENTEDGE : 0, logBox ? "EDIT" : "BUTTON",
                                       AnsiText::FromWide(design.caption).c_str(), ControlStyle(design), rect.left,
                                       rect.top, rect.width, rect.height, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance, nullptr);
        if (!control)
            return false;
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        EnableWindow(control, design.enabledAtStart);
    }
    // Without this the box silently stops at 30,000 characters.
    SendMessageA(GetDlgItem(window, TxtMsgId), EM_SETLIMITTEXT, 0, 0);
    form_.Form_Load();
    return true;
}

void Form1Window::OnSize(HWND window, int width, int height)
{
    if (width == 0 || height == 0)
        return;
    HDWP positions = BeginDeferWindowPos(static_cast<int>(Controls.size()));
    for (const ControlDesign& design : Controls) {
        PixelRect rect = ScaleRect(design.rect, PixelSize{width, height});
        if (positions)
            positions = DeferWindowPos(positions, GetDlgItem(window, design.id), nullptr, rect.left, rect.top,
                                       rect.width, rect.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (positions)
        EndDeferWindowPos(positions);
}

void Form1Window::OnCommand(int id, int notification)
{
    if (notification != BN_CLICKED || busy_)
        return;
    busy_ = true;
    switch (id) {
    case CmdLoadId:
        form_.cmdLoad_Click();
        break;
    case CmdCreateId:
        form_.cmdCreate_Click();
        break;
    case CmdDeleteId:
        form_.cmdDelete_Click();
        break;
    case CmdCloseId:
        form_.cmdClose_Click();
        break;
    default:
        break;
    }
    busy_ = false;
}

void Form1Window::AppendLog(const std::wstring& text)
{
    HWND log = Control(TxtMsgId);
    int length = GetWindowTextLengthA(log);
    SendMessageA(log, EM_SETSEL, length, length);
    SendMessageA(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(AnsiText::FromWide(text).c_str()));
    SendMessageA(log, EM_SCROLLCARET, 0, 0);
    // A command does not return to the message loop while it runs; paint now
    // so a long one shows its progress.
    UpdateWindow(log);
}

void Form1Window::SetDeleteEnabled(bool enabled)
{
    EnableWindow(Control(CmdDeleteId), enabled);
}

void Form1Window::SetMousePointer(int pointer)
{
    pointer_ = pointer;
    WindowPlatform::ShowPointer(pointer);
}

void Form1Window::BringToFront()
{
    BringForward(static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window_.get())));
}

bool Form1Window::AskYesNo(const std::wstring& prompt)
{
    char title[64] = "Tandrel";
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_.get(), GWLP_HINSTANCE));
    LoadStringA(instance, IDS_APP_TITLE, title, sizeof title);
    return MessageBoxA(window_.get(), AnsiText::FromWide(prompt).c_str(), title,
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

void Form1Window::Close()
{
    // The handle is cleared at WM_NCDESTROY, while the window is destroyed.
    if (window_)
        DestroyWindow(window_.get());
}
