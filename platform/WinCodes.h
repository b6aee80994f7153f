#pragma once

// The Windows result codes that the logic compares against or hands on, named once and without windows.h.
namespace WinCode {
inline constexpr long Success = 0;
inline constexpr long FileNotFound = 2;             // ERROR_FILE_NOT_FOUND
inline constexpr long PathNotFound = 3;             // ERROR_PATH_NOT_FOUND
inline constexpr long AccessDenied = 5;             // ERROR_ACCESS_DENIED
inline constexpr long InvalidHandle = 6;            // ERROR_INVALID_HANDLE
inline constexpr long WriteFault = 29;              // ERROR_WRITE_FAULT
inline constexpr long HandleEof = 38;               // ERROR_HANDLE_EOF
inline constexpr long FileExists = 80;              // ERROR_FILE_EXISTS
inline constexpr long InvalidParameter = 87;        // ERROR_INVALID_PARAMETER
inline constexpr long CallNotImplemented = 120;     // ERROR_CALL_NOT_IMPLEMENTED
inline constexpr long FileTooLarge = 223;           // ERROR_FILE_TOO_LARGE
inline constexpr long MoreData = 234;               // ERROR_MORE_DATA
inline constexpr long WaitTimeout = 258;            // WAIT_TIMEOUT
inline constexpr long NoMoreItems = 259;            // ERROR_NO_MORE_ITEMS
inline constexpr long ResourceTypeNotFound = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND
inline constexpr long ResourceNameNotFound = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
inline constexpr long CannotResolveFilename = 1921; // ERROR_CANT_RESOLVE_FILENAME
inline constexpr long NoActivationContext = 14001;  // ERROR_SXS_CANT_GEN_ACTCTX
}  // namespace WinCode
