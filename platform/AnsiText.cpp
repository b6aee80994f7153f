#include "platform/AnsiText.h"

#include <windows.h>

namespace AnsiText {

std::string FromWide(const std::wstring& text)
{
    if (text.empty())
        return {};
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                        nullptr, nullptr);
    return bytes;
}

std::wstring ToWide(const std::string& bytes)
{
    if (bytes.empty())
        return {};
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

}  // namespace AnsiText
